#include "app/ConnectionKeeper.h"

#include "app/SavedConnections.h"

namespace tavrin {

void TConnectionKeeper::Start(std::string path, int n) {
    iniPath = std::move(path);
    nChannels = n;
    bUncleanEnd = CaptureEndedUncleanly(iniPath);
    remembered = {};
    remembered.CHLastStateArr.assign(size_t(nChannels), {});
}

void TConnectionKeeper::Keep(rLastState now) {
    if (bUncleanEnd) {
        return;
    }
    if (now.CHLastStateArr == written.CHLastStateArr &&
        now.CombineportsArr == written.CombineportsArr) {
        return;
    }
    if (SaveConnections(iniPath, now)) {
        written = std::move(now);
    }
}

std::optional<rLastState> TConnectionKeeper::TakeUncleanRun() {
    if (!bUncleanEnd) {
        return std::nullopt;
    }
    bUncleanEnd = false;
    rLastState saved = LoadConnections(iniPath, nChannels);
    if (!HasConnections(saved)) {
        return std::nullopt;
    }
    return saved;
}

} // namespace tavrin
