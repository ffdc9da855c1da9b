// What the console keeps of the channels' connections across lessons and
// runs: the connections remembered when capture is left (and connected again
// when it comes back), and the copy in the settings file that a run which
// ended uncleanly offers on the next start. The file is not written until
// that offer was made, so the last run's channels are not overwritten first.
#pragma once

#include "app/ModeSwitch.h"

#include <optional>
#include <string>

namespace tavrin {

class TConnectionKeeper {
public:
    // Reads whether the last run ended uncleanly; the remembered connections
    // start as nChannels empty channels.
    void Start(std::string iniPath, int nChannels);

    const rLastState& Remembered() const { return remembered; }
    void Remember(rLastState s) { remembered = std::move(s); }

    // False while the last run's channels are still to be offered.
    bool Keeping() const { return !bUncleanEnd; }
    // Writes now to the settings file when it differs from what was written
    // last (nothing while not Keeping()).
    void Keep(rLastState now);

    // Once after an unclean end: the channels that run saved, when it saved
    // any. Later calls, and a clean last run, give nothing.
    std::optional<rLastState> TakeUncleanRun();

private:
    std::string iniPath;
    int nChannels = 0;
    bool bUncleanEnd = false;
    rLastState remembered;
    rLastState written;
};

} // namespace tavrin
