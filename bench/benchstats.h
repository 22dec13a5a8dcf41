#pragma once
// The statistics the benchmarks report over their samples (milliseconds or
// any other unit); every function gives 0 for no samples.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// The sample at fraction p (0..1) of the sorted samples: the smallest
// sample with at least p of all at or below it.  0.5 is the median (the
// lower middle one for an even count), 1 the largest.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * v.size())) - (p > 0 ? 1 : 0));
    return v[i];
}

// The median taking the upper middle sample for an even count.
inline double upperMedian(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double largest(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}
