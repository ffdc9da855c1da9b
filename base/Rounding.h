// Rounding to the nearest whole number with ties to even, the rounding the
// system's figures are defined with (std::lround rounds ties away from zero:
// 2.5 gives 3 there and 2 here).
#pragma once

namespace tavrin {

double RoundTiesToEven(double value);
// The same, as an int (the value must fit).
inline int RoundToInt(double value) {
    return int(RoundTiesToEven(value));
}

} // namespace tavrin
