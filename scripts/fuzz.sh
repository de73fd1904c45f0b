#!/usr/bin/env bash
# Runs one fuzz target for as long as asked, optimised, in build/fuzz (the
# host preset with RelWithDebInfo: about three times the inputs a second of
# the debug build that the tests use).
#   scripts/fuzz.sh TARGET SECONDS [more libFuzzer options]
# TARGET is registry_values_fuzz, command_line_fuzz, site_text_fuzz or md5_fuzz.
# What it learns stays in build/fuzz/fuzz/corpus/TARGET for the next run; an
# input that fails is written to build/fuzz/fuzz/findings/ and named in the
# output, and the script exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options]}
seconds=${2:?usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options]}
shift 2
[ -d "fuzz/corpus/$target" ] || { echo "No fuzz target $target (see fuzz/)" >&2; exit 2; }
. scripts/env.sh
zendrel_ensure_packages || exit 1
cmake --preset host -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz --target "$target"
out=build/fuzz/fuzz
mkdir -p "$out/corpus/$target" "$out/findings"
exec "build/fuzz/bin/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$out/findings/$target-" "$@" "$out/corpus/$target" "fuzz/corpus/$target"
