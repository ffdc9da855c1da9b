// Scene areas handed from the scene runtime to the compositor.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin {

struct rRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct TCombArea_Ext {
    bool bExt = false;                   // scene areas have been set at least once
    int32_t count = 0;                   // rectangles of the active scene
    bool OneCHFullScreen = false;        // one channel full screen even with a scene
    bool bNeedCover = false;             // the scene has a background picture
    bool bNeedChangeCOver = false;       // the background must be copied in (new scene)
    const uint8_t* pYUVBuf = nullptr;    // W x H YUV 4:2:0 background, owned by the scene runtime
    std::vector<rRect> Ext;              // per slot: where the picture goes on the canvas
    std::vector<rRect> Ext_ForInterface; // per slot: the size the channel delivers
};

} // namespace tavrin
