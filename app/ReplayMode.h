// Replay mode's core object, the replay worker with its ruler, owned by one
// controller: made on entering replay, terminated, waited for and freed when
// the controller goes.
#pragma once

#include "app/PaneGeometry.h"
#include "base/GetLessionInfo.h"
#include "decode/Display.h"
#include "replay/ReplayClientThread.h"

#include <functional>
#include <memory>

namespace tavrin {

class TReplayMode {
public:
    explicit TReplayMode(const TGetLessionInfo& paths);
    ~TReplayMode();
    TReplayMode(const TReplayMode&) = delete;
    TReplayMode& operator=(const TReplayMode&) = delete;

    // Opens the lesson on the pane and lays the ruler out: 0, or the
    // worker's negative result (its message already shown). The worker hands
    // its ruler redraws to gui's thread; onRulerDrawn runs there after each.
    int Open(int32_t nLession, TNativeWindow pane, const TPaneRect& paneRect,
             const TPaneRect& rulerRect, QObject* gui, std::function<void()> onRulerDrawn);
    void Start(int nAudioDelayFrames);

    TReplayClientThread& Worker() { return *worker; }
    void Resize(const TPaneRect& paneRect, const TPaneRect& rulerRect);

private:
    std::unique_ptr<TReplayClientThread> worker;
    bool bStarted = false;
};

} // namespace tavrin
