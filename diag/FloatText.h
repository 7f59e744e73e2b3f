#pragma once
// Floating-point values as "%g" prints them (six significant digits, trailing zeros
// dropped, the exponent form below 1e-4 and from 1e6 on), composed without the C runtime.
// The runtime's printf takes locks of its own for floating-point conversions (and its
// decimal point from the locale); a thread suspended while holding one would stop a
// crash report that formats a parameter's value.

#include "diag/TextBuffer.h"

namespace __dbg_util {

// Appends `value` as "%g" does: correctly rounded (halfway cases to even), "inf", "nan",
// with the sign of negative values, negative zero and negative NaN.
void AppendGeneralFloat(TextBuffer& out, double value);

}  // namespace __dbg_util
