#pragma once
#include <cmath>
#include <cstdint>

// A valuator value as an integer coordinate or size: truncated toward zero.
// Values beyond the 32-bit range saturate and NaN gives 0, so no input makes
// the conversion undefined.
inline int32_t truncateValue(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}
