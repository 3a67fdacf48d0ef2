#pragma once
// Timing for the benchmarks: the median of several rounds, so that one slow
// round on a shared machine does not decide the figure.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace vgwl::bench {

template <typename F>
double MedianSeconds(int rounds, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline void Report(const char* what, double seconds, double baselineSeconds, double items) {
    std::printf("%-44s %10.3f ms  %12.0f items/s  ratio to baseline %.2f\n", what, seconds * 1e3,
                items / seconds, seconds / baselineSeconds);
}

}  // namespace vgwl::bench
