// The size of the long runs beside the add-on: ./test.sh runs a short version
// of each; ZENDREL_STRESS=long (set by the ctest tests labelled "long") runs
// them at full size. Each run prints its figures on a line of its own.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zendrel::test {

inline bool LongStressRun() {
    const char* scale = std::getenv("ZENDREL_STRESS");
    return scale != nullptr && std::strcmp(scale, "long") == 0;
}

inline int StressCount(int shortRun, int longRun) {
    return LongStressRun() ? longRun : shortRun;
}

// One line of figures in the test output, e.g. "[figures] saves: 1000 ...".
inline void ReportFigures(const std::string& line) {
    std::printf("[figures] %s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace zendrel::test
