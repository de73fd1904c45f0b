#!/usr/bin/env bash
# Install test of ZendrelSetup.exe under Wine, in a fresh prefix of its own:
#   install_test.sh SETUP.exe INSPECT.exe WORKDIR FULL_VERSION SHORT_VERSION \
#                   FOLDER_RULES.exe protected_folders.nsh
# The installer's folder decision and the access list it asks for; silent
# install, checks, upgrade over an edited urls.txt, silent uninstall
# (settings kept), install into a folder with spaces (/D=), silent uninstall
# in place (_?=) removing the settings, folders that Setup refuses, and an
# installation that fails because journalprep cannot create the log. Prints one PASS or FAIL line per check;
# the exit code is the number of failures (capped at 100).
set -u
setup=$1 inspect=$2 work=$3 version=$4 version_short=$5 folder_rules=$6 folders_nsh=$7

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
equal() { # equal DESCRIPTION EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

rm -rf "$work"
mkdir -p "$work"
# ZENDREL_WINE_ARCH and the "wine" on PATH come from test.sh's session.
export WINEPREFIX="$work/prefix" WINEARCH=${ZENDREL_WINE_ARCH:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=""
if [ -z "${DISPLAY:-}" ]; then
  n=120
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi
finish() {
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
}
trap finish EXIT

echo "Creating the fresh prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wineserver -w
wineserver -p 600
wine cmd.exe /c exit </dev/null >/dev/null 2>&1

drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Zendrel"
log_win='C:\ProgramData\Zendrel\ActivityLog.txt'
log="$drive_c/ProgramData/Zendrel/ActivityLog.txt"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zendrel Settings.lnk"
settings='HKLM\Software\Orvantix\Zendrel'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zendrel'
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Zendrel'
# SYSTEM and Administrators full control (also on subkeys), Users read and
# set values on this key only (0x2001b: CC query value, DC set value, SW
# enumerate subkeys, RP notify, RC read control), nothing inherited. Windows
# shows the list as protected ("D:P"); Wine does not keep that flag, and
# inherits nothing into a list set explicitly either.
expected_aces='(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;;CCDCSWRPRC;;;BU)'
key_acl_ok() {
  local sddl
  sddl=$(inspect keysddl 'Software\Orvantix\Zendrel')
  case $sddl in
    "D:P$expected_aces" | "D:$expected_aces") echo "   access list: $sddl" ;;
    *) echo "   access list: [$sddl], expected [D:P$expected_aces]"; return 1 ;;
  esac
}
# The installer, where cmd.exe can start it with an unquoted command line.
cp "$setup" "$drive_c/ZendrelSetup.exe"
# run_cmd LINE: runs LINE through cmd.exe from a batch file, so that Wine does
# not quote it (NSIS wants /D= and _?= unquoted, after everything else).
run_cmd() {
  printf '@%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$1" >"$drive_c/zendrel_test.bat"
  wine cmd /c 'C:\zendrel_test.bat' </dev/null
}

# reg_value KEY NAME: the data of a value as `reg query` shows it, or nothing.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print; exit }'
}
reg_type() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name { print $2; exit }'
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }
inspect() { wine "$inspect" "$@" 2>/dev/null | tr -d '\r'; }
# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 4; i++)); do "$@" && return 0; sleep 0.25; done
  return 1
}
not() { ! "$@"; }

echo "== 0. The folders Setup accepts, and the access list it gives them"
# Wine keeps no access list of a file or folder (it reports one made from the
# Unix permissions), so the list is checked as Setup asks for it, and the
# decision on what Windows would report, by folder_rules_test.exe.
mkdir -p "$drive_c/folder_rules"
cp "$folder_rules" "$drive_c/folder_rules_test.exe"
run_cmd 'C:\folder_rules_test.exe /S /OUT=C:\folder_rules.txt /WORK=C:\folder_rules'
tr -d '\r' <"$drive_c/folder_rules.txt" 2>/dev/null
equal "the folder rules ran every case" 22 "$(grep -c '^PASS: \|^FAIL: ' "$drive_c/folder_rules.txt" 2>/dev/null)"
folder_sddl=$(sed -n 's/^!define PROTECTED_FOLDER_SDDL "\(.*\)"/\1/p' "$folders_nsh")
equal "the folders' access list: SYSTEM and Administrators full control, Users read and execute, inherited by all within, nothing from above" \
  "$(printf 'protected\nallow S-1-5-18 0x001f01ff OI CI\nallow S-1-5-32-544 0x001f01ff OI CI\nallow S-1-5-32-545 0x001200a9 OI CI')" \
  "$(inspect sddlentries "$folder_sddl")"

echo "== 1. Silent install into the default folder"
wine "$drive_c/ZendrelSetup.exe" /S
equal "ZendrelSetup.exe /S exits with 0" 0 $?
for f in ZendrelPanel.exe journalprep.exe zendrelctl.exe ZendrelGuard.exe ZendrelHelp.chm Uninstall.exe; do
  check "$f is installed in C:\\Program Files\\Zendrel" test -f "$program/$f"
done
guard=$(inspect service ZendrelGuard)
equal "the service ZendrelGuard is installed, starts automatically and runs the installed program" \
  "$(printf 'start=auto\npath="C:\\Program Files\\Zendrel\\ZendrelGuard.exe"\nstate=4')" \
  "$(echo "$guard" | grep -E '^(start|path|state)=')"
equal "the event source Zendrel names the guard's message table" \
  'C:\Program Files\Zendrel\ZendrelGuard.exe' "$(reg_value "$event_source" EventMessageFile)"
ctl_help=$(wine "$program/zendrelctl.exe" --help 2>/dev/null </dev/null)
equal "the installed zendrelctl.exe runs (--help exits with 0)" 0 $?
check "zendrelctl --help says how to run it elevated" \
  bash -c '[[ $1 == *"Run as administrator"* ]]' _ "$ctl_help"
check "urls.txt is created, empty" test -f "$program/urls.txt" -a ! -s "$program/urls.txt"
check "the settings key exists" key_exists "$settings"
equal "Setup holds the log's place it prepared, as the guard puts it back" \
  "$log_win" \
  "$(reg_value 'HKLM\Software\Orvantix\ZendrelHeld' activitylogloc)"
check "the settings key's access list: Users may read and set values, nothing more" key_acl_ok
equal "activitylogloc names the log in the common application-data folder" \
  "$log_win" "$(reg_value "$settings" activitylogloc)"
equal "activitylogloc is text (REG_SZ)" REG_SZ "$(reg_type "$settings" activitylogloc)"
equal "the log holds exactly the line Initialize Log" \
  "$(printf 'Initialize Log\r\n' | od -c)" "$(od -c <"$log" 2>/dev/null)"
log_sddl=$(inspect filesddl "$log_win")
# Everyone's entry must let them write: all access, or rights that include
# writing (FW); a read-only entry (FR) is not enough.
if printf '%s' "$log_sddl" | grep -Eq '\(A;;(FA|[A-Z]*FW[A-Z]*|0x1[fF]01[fF]{2});;;WD\)'; then
  pass "the log's access list lets everyone write to it ($log_sddl)"
elif printf '%s' "$log_sddl" | grep -Eq '^D:\(A;;FA;;;SY\)\(A;;FA;;;[^)]*\)\(A;;0x[0-9a-fA-F]+;;;WD\)$'; then
  # Wine keeps no access list of a file: it reports one made from the Unix
  # mode bits (owner, SYSTEM, Everyone), and the umask takes Everyone's write
  # bit. Only Windows shows the list journalprep gives the log; the list it
  # asks for is checked by journalprep's own tests.
  echo "SKIP: the log's access list under Wine is made from Unix permissions ($log_sddl)"
else
  fail "the log's access list lets everyone write to it: got [$log_sddl]"
fi
check "the Start-menu shortcut Zendrel Settings exists" test -f "$shortcut"
equal "the shortcut starts the installed program" 'C:\Program Files\Zendrel\ZendrelPanel.exe' \
  "$(inspect shortcut 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zendrel Settings.lnk')"
equal "uninstall entry: DisplayName" Zendrel "$(reg_value "$uninstall_key" DisplayName)"
equal "uninstall entry: DisplayVersion" "$version_short" "$(reg_value "$uninstall_key" DisplayVersion)"
equal "uninstall entry: Publisher" Orvantix "$(reg_value "$uninstall_key" Publisher)"
equal "uninstall entry: DisplayIcon" 'C:\Program Files\Zendrel\ZendrelPanel.exe,0' \
  "$(reg_value "$uninstall_key" DisplayIcon)"
equal "uninstall entry: UninstallString" '"C:\Program Files\Zendrel\Uninstall.exe"' \
  "$(reg_value "$uninstall_key" UninstallString)"
equal "uninstall entry: QuietUninstallString" '"C:\Program Files\Zendrel\Uninstall.exe" /S' \
  "$(reg_value "$uninstall_key" QuietUninstallString)"
size=$(reg_value "$uninstall_key" EstimatedSize)
if [ -n "$size" ] && [ $((size)) -gt 100 ]; then
  pass "uninstall entry: EstimatedSize $((size)) KB"
else
  fail "uninstall entry: EstimatedSize: got [$size]"
fi
for f in 'C:\ZendrelSetup.exe' 'C:\Program Files\Zendrel\ZendrelPanel.exe' \
  'C:\Program Files\Zendrel\journalprep.exe' 'C:\Program Files\Zendrel\zendrelctl.exe' \
  'C:\Program Files\Zendrel\ZendrelGuard.exe' \
  'C:\Program Files\Zendrel\Uninstall.exe'; do
  info=$(inspect version "$f")
  equal "version of $f" \
    "$(printf 'Fixed=%s\nProductName=Zendrel\nFileVersion=%s\nProductVersion=%s' "$version" "$version" "$version")" \
    "$(echo "$info" | grep -E '^(Fixed|ProductName|FileVersion|ProductVersion)=')"
  check "$f has a description and a copyright" \
    bash -c '[[ $1 == *FileDescription=?* && $1 == *"LegalCopyright=Copyright (C) "* ]]' _ "$info"
done

echo "== 2. Upgrade over an edited urls.txt and a chosen log location"
printf 'example.com\r\nwww.orvantix.test\r\n' >"$program/urls.txt"
cp "$program/urls.txt" "$work/urls.expected"
# The log's place is held: an administrator moves it in the held copy, and
# the guard puts it into the settings key.
wine reg add 'HKLM\Software\Orvantix\ZendrelHeld' /v activitylogloc /t REG_SZ /d 'C:\Logs\zendrel.log' /f >/dev/null 2>&1
wine reg add "$settings" /v activitylogloc /t REG_SZ /d 'C:\Logs\zendrel.log' /f >/dev/null 2>&1
wine reg add "$settings" /v requests /t REG_MULTI_SZ /d 'asked.test' /f >/dev/null 2>&1
wine "$drive_c/ZendrelSetup.exe" /S
equal "the second install exits with 0" 0 $?
check "urls.txt is kept byte for byte" cmp -s "$work/urls.expected" "$program/urls.txt"
equal "a recorded activitylogloc is kept" 'C:\Logs\zendrel.log' "$(reg_value "$settings" activitylogloc)"
equal "requests is kept" asked.test "$(reg_value "$settings" requests)"
equal "the log gets a second Initialize Log line" 2 "$(grep -c 'Initialize Log' "$log")"
check "the access list is the same after the upgrade" key_acl_ok
equal "the service runs again after the upgrade" state=4 \
  "$(inspect service ZendrelGuard | grep '^state=')"

echo "== 3. Silent uninstall (the uninstall string with /S): settings kept"
wine "$program/Uninstall.exe" /S
equal "Uninstall.exe /S exits with 0" 0 $?
# The uninstaller runs from a copy in the temporary folder: wait for it.
check "the uninstall entry is removed" wait_for 60 not key_exists "$uninstall_key"
check "Uninstall.exe is removed" wait_for 30 test ! -e "$program/Uninstall.exe"
for f in ZendrelPanel.exe journalprep.exe zendrelctl.exe ZendrelGuard.exe ZendrelHelp.chm; do
  check "$f is removed" test ! -e "$program/$f"
done
check "the shortcut is removed" test ! -e "$shortcut"
check "the service ZendrelGuard is removed" test -z "$(inspect service ZendrelGuard)"
check "the event source Zendrel is removed" not key_exists "$event_source"
check "urls.txt is kept" cmp -s "$work/urls.expected" "$program/urls.txt"
check "the settings key is kept" key_exists "$settings"
equal "requests is kept" asked.test "$(reg_value "$settings" requests)"
check "the activity log is kept" test -f "$log"

echo "== 4. Silent install into a folder with spaces (/D=, through cmd /c)"
other="$drive_c/Zendrel Tools"
run_cmd 'C:\ZendrelSetup.exe /S /D=C:\Zendrel Tools'
equal "ZendrelSetup.exe /S /D=C:\\Zendrel Tools exits with 0" 0 $?
check "ZendrelPanel.exe is in C:\\Zendrel Tools" test -f "$other/ZendrelPanel.exe"
check "urls.txt is created in the new folder" test -f "$other/urls.txt"
equal "UninstallString names the new folder" '"C:\Zendrel Tools\Uninstall.exe"' \
  "$(reg_value "$uninstall_key" UninstallString)"

echo "== 5. Silent uninstall in place (_?=) with /REMOVESETTINGS"
run_cmd '"C:\Zendrel Tools\Uninstall.exe" /S /REMOVESETTINGS _?=C:\Zendrel Tools'
equal "Uninstall.exe /S /REMOVESETTINGS _?= exits with 0" 0 $?
check "ZendrelPanel.exe is removed" test ! -e "$other/ZendrelPanel.exe"
check "the service ZendrelGuard is removed" test -z "$(inspect service ZendrelGuard)"
check "urls.txt is removed" test ! -e "$other/urls.txt"
check "the settings key is removed" not key_exists "$settings"
check "the uninstall entry is removed" not key_exists "$uninstall_key"
check "the activity log is kept" test -f "$log"

echo "== 6. Folders that Setup refuses: exit code 2, nothing installed"
# refused_install DESCRIPTION FOLDER_UNIX COMMAND: COMMAND must exit with 2
# and leave no program in FOLDER_UNIX, no uninstall entry, no settings key.
refused_install() {
  run_cmd "$3"
  equal "$1: Setup exits with 2" 2 $?
  check "$1: no program is installed" test ! -e "$2/ZendrelPanel.exe" -a ! -e "$2/Uninstall.exe"
  check "$1: no uninstall entry" not key_exists "$uninstall_key"
  check "$1: no settings key" not key_exists "$settings"
}
mkdir -p "$drive_c/Other Program"
echo other >"$drive_c/Other Program/other.exe"
refused_install "a folder holding another program's files" "$drive_c/Other Program" \
  'C:\ZendrelSetup.exe /S /D=C:\Other Program'
check "the other program's file is untouched" test -f "$drive_c/Other Program/other.exe"
# Wine reports a file of another Unix account as owned by Anonymous Logon.
if [ "$(id -u)" = 0 ]; then
  mkdir -p "$drive_c/Theirs"
  chown 65534:65534 "$drive_c/Theirs"
  refused_install "a folder owned by another account" "$drive_c/Theirs" \
    'C:\ZendrelSetup.exe /S /D=C:\Theirs'
  mv "$drive_c/ProgramData/Zendrel" "$work/log-folder"
  mkdir "$drive_c/ProgramData/Zendrel"
  chown 65534:65534 "$drive_c/ProgramData/Zendrel"
  refused_install "a log folder owned by another account" "$drive_c/Mine" \
    'C:\ZendrelSetup.exe /S /D=C:\Mine'
  check "the program folder Setup made for it is gone again" test ! -e "$drive_c/Mine"
  rmdir "$drive_c/ProgramData/Zendrel"
  mv "$work/log-folder" "$drive_c/ProgramData/Zendrel"
else
  echo "(not root: the folders owned by another account are not tried)"
fi

echo "== 7. journalprep cannot create the log: the installation fails"
rm -f "$log"
mkdir -p "$log"  # a folder where the log file should be
wine "$drive_c/ZendrelSetup.exe" /S
equal "ZendrelSetup.exe /S exits with 2" 2 $?
check "activitylogloc is not written" test -z "$(reg_value "$settings" activitylogloc)"
check "no shortcut is made" test ! -e "$shortcut"
check "the uninstaller is there to remove the failed installation" test -f "$program/Uninstall.exe"

echo "$failures failure(s)"
[ "$failures" -gt 100 ] && failures=100
exit "$failures"
