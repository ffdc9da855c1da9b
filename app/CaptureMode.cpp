#include "app/CaptureMode.h"

#include "base/Message.h"
#include "base/Trace.h"
#include "output/SaveAV.h"

namespace tavrin {

void TCaptureMode::ShowOpenFailure(int result, const std::string& dir) {
    if (result == TCaptureSession::kNoProgramme) {
        Trace("capture: the programme output cannot be opened");
        return;
    }
    if (const std::string text = NewLessionFailureText(result, dir); !text.empty()) {
        ShowMessage(text, TMsgIcon::Error);
    }
}

} // namespace tavrin
