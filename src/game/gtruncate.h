// gtruncate.h: float to whole number, as the game's rules count distances.
#pragma once

#include <cstdint>

// Truncates towards zero, as a C cast would, but defined for every input:
// values beyond the int32 range give its nearest end and NaN gives 0, where
// the plain cast would be undefined. Positions in a match stay far inside
// the range; this only keeps a runaway value from being undefined behaviour.
inline int32_t truncateToInt32(double value) {
    if (value != value) return 0;
    if (value <= -2147483648.0) return INT32_MIN;
    if (value >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(value);
}
