// What the operator is told when an upload ends, by the upload position
// (-1 success, -2 ... -5 the transfer's failures).
#pragma once

#include "base/Message.h"

#include <string>

namespace tavrin {

struct TUploadOutcome {
    std::string text;
    TMsgIcon icon = TMsgIcon::Error;
};

// False for a position that is not an outcome (0 or more: still sending).
bool UploadOutcome(int position, TUploadOutcome& outcome);

// Why an upload could not even start (TParseMp4::initizlize's code): the new
// MP4 cannot be read back, or the lesson's login data do not fit.
std::string UploadStartFailure(int code, const std::string& file);

} // namespace tavrin
