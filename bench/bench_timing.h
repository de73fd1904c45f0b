// Timing helpers of the benchmark: a stopwatch on the performance counter,
// the median of repeated runs (one slow run of a shared machine counts
// little) and the rows of the table it prints.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <functional>
#include <vector>

namespace zendrel::bench {

class Stopwatch {
  public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double Milliseconds() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency.QuadPart);
    }

  private:
    LARGE_INTEGER start_;
};

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Runs `measured` and `baseline` in turn, `runs` times each, so that both see
// the same moments of the machine; the two medians, in milliseconds (or in
// whatever unit the functions return).
struct Pair {
    double measured;
    double baseline;
};
inline Pair Alternating(int runs, const std::function<double()>& measured,
                        const std::function<double()>& baseline) {
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(measured());
        b.push_back(baseline());
    }
    return {Median(a), Median(b)};
}

// A row without a target: 0, or kInformation to say so in the target column.
inline constexpr double kInformation = -1;

inline void Row(const char* what, double measured, double baseline, const char* unit,
                double target) {
    double ratio = baseline > 0 ? measured / baseline : 0;
    char targetText[32] = "";
    if (target > 0)
        std::snprintf(targetText, sizeof(targetText), "<= %.2f %s", target,
                      ratio <= target ? "met" : "MISSED");
    else if (target == kInformation)
        std::snprintf(targetText, sizeof(targetText), "information");
    std::printf("| %-46s | %9.1f %-2s | %9.1f %-2s | %6.2f | %-12s |\n", what, measured, unit,
                baseline, unit, ratio, targetText);
    std::fflush(stdout);
}

inline void Header() {
    std::printf("| %-46s | %12s | %12s | %6s | %-12s |\n", "measure", "Zendrel", "baseline",
                "ratio", "target");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(14, '-').c_str(),
                std::string(14, '-').c_str(), std::string(8, '-').c_str(),
                std::string(14, '-').c_str());
}

// A row whose target is a limit of its own unit, not a ratio: baseline is
// shown when given (not negative).
inline void RowWithin(const char* what, double measured, const char* unit, double limit,
                      double baseline = -1) {
    char baselineText[32] = "-";
    if (baseline >= 0)
        std::snprintf(baselineText, sizeof(baselineText), "%9.1f %-2s", baseline, unit);
    char targetText[32];
    std::snprintf(targetText, sizeof(targetText), "< %g %s %s", limit, unit,
                  measured >= 0 && measured < limit ? "met" : "MISSED");
    std::printf("| %-46s | %9.1f %-2s | %12s | %6s | %-12s |\n", what, measured, unit, baselineText,
                "-", targetText);
    std::fflush(stdout);
}

// A row that only reports (no baseline, no target).
inline void RowInformation(const char* what, double measured, const char* unit) {
    std::printf("| %-46s | %9.1f %-2s | %12s | %6s | %-12s |\n", what, measured, unit, "-", "-",
                "information");
    std::fflush(stdout);
}

}  // namespace zendrel::bench
