// Dotted decimal versions ("1.2.3.4") compared part by part as numbers.
#pragma once

#include <string_view>

namespace tavrin {

inline constexpr char kVersionPartsDiffer[] = "版本比较失败，二者数字位数不符！";

// Compares own version a with version b: 1 when a is higher, -1 when b is,
// 0 when equal. A part that is not a number counts as -1. False (result
// untouched) when the two have different numbers of parts.
bool CompareVersion(std::string_view a, std::string_view b, int& result);

} // namespace tavrin
