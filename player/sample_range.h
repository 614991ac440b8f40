// The smallest and largest of a run of decoded samples, for the envelope and the detail
// peaks alike. Pure function, any thread.
#pragma once

#include <cstddef>
#include <cstring>

// Widens low and high by the samples p[0 .. n-1]. Two four-lane vectors keep the
// comparisons out of one long dependency chain and in registers; a NaN sample never wins
// a comparison.
inline void WidenRange(const float* p, std::size_t n, float& low, float& high) {
    using Lanes = float __attribute__((vector_size(16)));
    Lanes lo0 = {0, 0, 0, 0};
    Lanes lo1 = lo0;
    Lanes hi0 = lo0;
    Lanes hi1 = lo0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        Lanes a;
        Lanes b;
        std::memcpy(&a, p + i, sizeof a);
        std::memcpy(&b, p + i + 4, sizeof b);
        lo0 = a < lo0 ? a : lo0;
        lo1 = b < lo1 ? b : lo1;
        hi0 = a > hi0 ? a : hi0;
        hi1 = b > hi1 ? b : hi1;
    }
    float lo = 0.0f;
    float hi = 0.0f;
    for (; i < n; ++i) {
        lo = p[i] < lo ? p[i] : lo;
        hi = p[i] > hi ? p[i] : hi;
    }
    for (int k = 0; k < 4; ++k) {
        lo = lo0[k] < lo ? lo0[k] : lo;
        lo = lo1[k] < lo ? lo1[k] : lo;
        hi = hi0[k] > hi ? hi0[k] : hi;
        hi = hi1[k] > hi ? hi1[k] : hi;
    }
    low = lo < low ? lo : low;
    high = hi > high ? hi : high;
}
