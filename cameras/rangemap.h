#pragma once
// Mapping of the kind-independent camera values onto an SDK's range
// [min, max] with a divisor n: value = min + (max - min) / n x v.
#include <cmath>

namespace rangemap {

inline double map(double min, double max, int n, double v)
{
    return min + (max - min) / n * v;
}

// Cut toward zero to a whole number.
inline int truncated(double min, double max, int n, double v)
{
    return static_cast<int>(std::trunc(map(min, max, n, v)));
}

// The step is itself a whole-number division; a range narrower than n gives
// a step of 0, so every value writes the minimum.
inline int wholeStep(int min, int max, int n, int v)
{
    return min + (max - min) / n * v;
}

// Read-back of a current SDK value as the setting value; 0 when the step is
// 0 (a range narrower than n, or empty).
inline int readBack(double cur, double min, double max, int n)
{
    const double step = (max - min) / n;
    if (!(step > 0) && !(step < 0))
        return 0;
    return static_cast<int>(std::trunc((cur - min) / step));
}

inline int readBackWholeStep(int cur, int min, int max, int n)
{
    const int step = (max - min) / n;
    return step == 0 ? 0 : (cur - min) / step;
}

}  // namespace rangemap
