#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Board counts from doubles: rounded half away from zero, converted to a 64-bit signed integer,
// then cut to the field's low bits. No clamping. A value the conversion cannot represent
// (NaN, infinity, beyond 2^63) gives 0 in every field: a zero frequency, whose period is
// infinite, is sent as 0.
namespace counts {

inline int64_t toCount(double value) {
    const double r = std::round(value);
    if (!(std::fabs(r) < 9223372036854775808.0)) return 0;
    return static_cast<int64_t>(r);
}

inline uint8_t count8(double value) { return static_cast<uint8_t>(toCount(value)); }
inline uint16_t count16(double value) { return static_cast<uint16_t>(toCount(value)); }
inline uint32_t count24(double value) { return static_cast<uint32_t>(toCount(value)) & 0xFFFFFFu; }
inline uint32_t count32(double value) { return static_cast<uint32_t>(toCount(value)); }

// Conversion toward zero that saturates instead of overflowing; NaN gives 0. Out-of-range
// values keep their side, so a later clamp still sees where they were.
inline int32_t truncInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// Conversion toward zero, keeping the low bits, with what does not fit in 32 bits (NaN and
// infinities included) giving 0x80000000 as the board expects: its low 16 bits are 0.
inline uint32_t truncWrap32(double value) {
    if (!(std::fabs(value) < 2147483648.0)) return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

}  // namespace counts
