#pragma once
// The value below which the given fraction of the samples lie (0.5: the median), for the
// benches' BENCH lines.
#include <algorithm>
#include <vector>

namespace kt6::bench {

// The samples are taken by value and sorted; -1 when there are none.
inline double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return -1;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(samples.size()));
    return samples[std::min(rank, samples.size() - 1)];
}

}  // namespace kt6::bench
