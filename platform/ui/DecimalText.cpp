#include "platform/ui/DecimalText.h"

namespace tavrin {

bool ParseDecimal(const QString& text, int32_t& value) {
    int start = 0;
    if (!text.isEmpty() && (text.front() == '-' || text.front() == '+')) {
        start = 1;
    }
    if (start == text.size()) {
        return false;
    }
    for (int i = start; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (!ok) {
        return false;
    }
    value = int32_t(parsed);
    return true;
}

} // namespace tavrin
