// Decimal integers typed by the operator or shown in a list.
#pragma once

#include <QString>
#include <cstdint>

namespace tavrin {

// An optional sign and decimal digits only, within 32 bits ("12a", "0x1F"
// and "" are not numbers).
bool ParseDecimal(const QString& text, int32_t& value);

} // namespace tavrin
