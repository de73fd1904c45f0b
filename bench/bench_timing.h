// Timing helpers of the benchmark: a stopwatch on the performance counter and
// the median of repeated runs (one slow run of a shared machine counts little).
#pragma once

#include <windows.h>

#include <algorithm>
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

}  // namespace zendrel::bench
