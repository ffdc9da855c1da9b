// What the plan editor needs from the console's main window: the scene
// runtime, switching the programme to a scene, the live address and where
// the editor window opens.
#pragma once

#include <QRect>
#include <cstdint>
#include <string>

namespace tavrin {

class TScreenLayout;

class IEditorHost {
public:
    virtual ~IEditorHost() = default;
    // The console's scene runtime; null when it is not running.
    virtual TScreenLayout* SceneRuntime() = 0;
    // Switches the programme to the scene with this runtime id, as the
    // layout menus do. The runtime already holds the editor's plan.
    virtual void UseScene(int32_t nRuntimeID) = 0;
    // True while the console is in capture mode.
    virtual bool IsCaptureMode() = 0;
    // Gives the RTMP sender this address, unpauses it and shows the RTMP
    // state. Called only in capture mode.
    virtual void UseAddress(const std::string& url) = 0;
    // Where a new editor window opens (invalid: wherever the window system
    // puts it), and where the last one was when it closed.
    virtual QRect EditorWindowRect() const { return {}; }
    virtual void SetEditorWindowRect(const QRect&) {}
};

} // namespace tavrin
