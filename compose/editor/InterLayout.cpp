#include "compose/editor/InterLayout.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

namespace {

SDL_Rect ToSdl(const rRect& r) {
    return {r.left, r.top, r.width, r.height};
}

SDL_Rect DispRect(const TDispMap& map, const rRect& r) {
    return {map.ToDispX(r.left), map.ToDispY(r.top), map.ScaleW(r.width), map.ScaleH(r.height)};
}

template <typename T> T* Find(TLayoutProject& project, int nType, int32_t id) {
    void* p = nullptr;
    return project.getItem(nType, id, p) == id && p != nullptr ? static_cast<T*>(p) : nullptr;
}

} // namespace

int TInterLayout::initialize(TNativeWindow xHandle, int YUVWidth, int YUVHeight, const rRect& xr) {
    ResetCurrent();
    nYUVWidth = YUVWidth;
    nYUVHeight = YUVHeight;
    Disp_xr = xr;
    // Dark grey: what the picture shows while nothing is current.
    const size_t luma = size_t(YUVWidth) * YUVHeight;
    pBackground.assign(luma * 3 / 2, 128);
    std::memset(pBackground.data(), 32, luma);
    biniDsp = display.initialize(xHandle, YUVWidth, YUVHeight, ToSdl(xr), true) == 0;
    return biniDsp ? 0 : -1;
}

void TInterLayout::modifyDispRect(const rRect& xr) {
    if (!biniDsp) {
        return;
    }
    Disp_xr = xr;
    display.modifyDispRect(ToSdl(xr));
    refreshDisplay();
}

void TInterLayout::ResetCurrent() {
    currentItem = TCurrentItem{};
    bChoose = false;
    CurrentChooseType = 0;
    CurrentChooseID = -1;
    aExtDisp.clear();
}

int TInterLayout::newProject(int32_t userid, const std::string& name, const std::string& file) {
    ResetCurrent();
    return LayoutProject.newProject(userid, name, file);
}

int TInterLayout::loadProject(const std::string& file) {
    const int result = LayoutProject.loadProject(file);
    if (result == 0) {
        ResetCurrent();
    }
    return result;
}

bool TInterLayout::delItem(int nType, int32_t id) {
    if (!LayoutProject.delItem(nType, id)) {
        return false;
    }
    // The background picture stays valid (shared), but the item is gone.
    const TPicture keep = currentItem.pImage;
    ResetCurrent();
    if (nType != kItemImage) {
        currentItem.pImage = keep;
    }
    return true;
}

int TInterLayout::switchToLayout(int32_t nID) {
    const rLayout* scene = Find<rLayout>(LayoutProject, kItemLayout, nID);
    if (scene == nullptr) {
        return -1;
    }
    const rImage* image = Find<rImage>(LayoutProject, kItemImage, scene->image);
    if (image == nullptr) {
        return -1;
    }
    currentItem = {scene->id, kItemLayout, scene->name, image->pImage};
    bChoose = false;
    CurrentChooseType = 0;
    CurrentChooseID = -1;
    aExtDisp.clear();
    return image->id;
}

int TInterLayout::switchToItem(int nType, int32_t nID, bool choose) {
    std::string name;
    TPicture picture = currentItem.pImage;
    switch (nType) {
    case kItemImage: {
        const rImage* image = Find<rImage>(LayoutProject, nType, nID);
        if (image == nullptr) {
            return -1;
        }
        name = image->name;
        picture = image->pImage;
        break;
    }
    case kItemRectangle: {
        const rRectangle* r = Find<rRectangle>(LayoutProject, nType, nID);
        if (r == nullptr) {
            return -1;
        }
        name = r->name;
        break;
    }
    case kItemFontStyle: {
        const rFontStyle* f = Find<rFontStyle>(LayoutProject, nType, nID);
        if (f == nullptr) {
            return -1;
        }
        name = f->name;
        break;
    }
    default:
        return -1;
    }
    currentItem = {nID, nType, name, picture};
    bChoose = choose;
    CurrentChooseType = 0;
    CurrentChooseID = -1;
    aExtDisp.clear();
    return nID;
}

int TInterLayout::switchToSubItem(int nType, int32_t nID, bool choose) {
    if (nType == kItemText && currentItem.nType == kItemLayout) {
        bChoose = choose;
        CurrentChooseType = choose ? kItemText : 0;
        CurrentChooseID = choose ? nID : -1;
    }
    return -1;
}

void TInterLayout::addExtendDisplayItem(const std::vector<TExtendDisp>& list) {
    aExtDisp.insert(aExtDisp.end(), list.begin(), list.end());
}

void TInterLayout::passFontTexture(int32_t id, int x, int y, bool bNeedModifyMode,
                                   bool bModefyMode) {
    display.passFontTexture(id, x, y, bNeedModifyMode, bModefyMode);
}

void TInterLayout::doNoChooseText() {
    display.doNoChooseText();
}

bool TInterLayout::saveBmp(int nW, int nH, const std::string& bmpFile) {
    return display.saveBmp(nW, nH, bmpFile);
}

int TInterLayout::refreshDisplay(bool bDontClearNewFontText) {
    if (biniDsp) {
        Draw(display, Map(), bDontClearNewFontText);
    }
    return 0;
}

bool TInterLayout::RenderTo(TDisplay& port, int w, int h) {
    if (port.initialize(0, nYUVWidth, nYUVHeight, {0, 0, w, h}, true) != 0) {
        return false;
    }
    Draw(port, {{0, 0, w, h}, nYUVWidth, nYUVHeight}, false);
    // The sizes stored in the model belong to the panel's drawing.
    refreshDisplay();
    return true;
}

void TInterLayout::DrawText(TDisplay& port, const TDispMap& map, int32_t id,
                            const std::string& text, const rFontStyle& style, int x, int y,
                            int mode, rPoint& wh) {
    const int size = std::max(1, map.ScaleW(style.size));
    const TTextSize drawn = port.newFontTexture(text, mode, uint32_t(style.color) & 0xFFFFFF,
                                                map.ToDispX(x), map.ToDispY(y), size, id);
    wh = {map.CanvasW(drawn.w), map.CanvasH(drawn.h)};
}

void TInterLayout::Draw(TDisplay& port, const TDispMap& map, bool bDontClearNewFontText) {
    const uint8_t* picture = pBackground.data();
    if (currentItem.id == -1) {
        port.ClearFontTxture();
        port.ClearVideoRect();
    } else {
        if (currentItem.pImage && currentItem.pImage->size() >= pBackground.size()) {
            picture = currentItem.pImage->data();
        }
        if (!bDontClearNewFontText) {
            port.ClearFontTxture();
        }
        port.ClearVideoRect();
        switch (currentItem.nType) {
        case kItemRectangle:
            if (const rRectangle* r =
                    Find<rRectangle>(LayoutProject, kItemRectangle, currentItem.id)) {
                port.newVideoRect(DispRect(map, r->rect), bChoose ? 1 : 0);
            }
            break;
        case kItemFontStyle:
            if (rFontStyle* f = Find<rFontStyle>(LayoutProject, kItemFontStyle, currentItem.id);
                f != nullptr && !bDontClearNewFontText) {
                DrawText(port, map, f->id, f->name, *f, f->x, f->y, bChoose ? 1 : 0, f->wh);
            }
            break;
        case kItemLayout:
            if (rLayout* scene = Find<rLayout>(LayoutProject, kItemLayout, currentItem.id)) {
                for (int32_t rid : scene->rectangle) {
                    if (const rRectangle* r =
                            Find<rRectangle>(LayoutProject, kItemRectangle, rid)) {
                        port.newVideoRect(DispRect(map, r->rect), 0);
                    }
                }
                if (!bDontClearNewFontText) {
                    for (rText& t : scene->text) {
                        const rFontStyle* f =
                            Find<rFontStyle>(LayoutProject, kItemFontStyle, t.fontStyle);
                        if (f == nullptr) {
                            continue;
                        }
                        const bool selected =
                            bChoose && CurrentChooseType == kItemText && CurrentChooseID == t.id;
                        DrawText(port, map, t.id, t.name, *f, t.x, t.y, selected ? 1 : 0, t.wh);
                    }
                }
            }
            break;
        default:
            break;
        }
        if (!bDontClearNewFontText) {
            for (const TExtendDisp& e : aExtDisp) {
                if (e.nType == kItemRectangle) {
                    if (const rRectangle* r =
                            Find<rRectangle>(LayoutProject, kItemRectangle, e.id)) {
                        port.newVideoRect(DispRect(map, r->rect), 0);
                    }
                } else if (e.nType == kItemFontStyle) {
                    if (rFontStyle* f = Find<rFontStyle>(LayoutProject, kItemFontStyle, e.id)) {
                        DrawText(port, map, f->id, f->name, *f, f->x, f->y, 0, f->wh);
                    }
                }
            }
        }
    }
    port.pushFrame(picture, nYUVWidth, nullptr, nullptr, nullptr, nullptr);
}

int TInterLayout::modifyItemName(const std::string& name) {
    void* p = nullptr;
    if (currentItem.id == -1 || LayoutProject.getItem(currentItem.nType, currentItem.id, p) < 0) {
        return -1;
    }
    switch (currentItem.nType) {
    case kItemImage: {
        rImage copy = *static_cast<rImage*>(p);
        copy.name = name;
        LayoutProject.modifyItem(kItemImage, &copy);
        break;
    }
    case kItemRectangle: {
        rRectangle copy = *static_cast<rRectangle*>(p);
        copy.name = name;
        LayoutProject.modifyItem(kItemRectangle, &copy);
        break;
    }
    case kItemFontStyle: {
        rFontStyle copy = *static_cast<rFontStyle*>(p);
        copy.name = name;
        LayoutProject.modifyItem(kItemFontStyle, &copy);
        break;
    }
    case kItemLayout: {
        rLayout copy = *static_cast<rLayout*>(p);
        copy.name = name;
        LayoutProject.modifyItem(kItemLayout, &copy);
        break;
    }
    default:
        return -1;
    }
    currentItem.name = name;
    return currentItem.id;
}

int TInterLayout::modify_Image_name(const std::string& name) {
    if (currentItem.nType != kItemImage) {
        return -1;
    }
    return modifyItemName(name);
}

int TInterLayout::modify_Image_filename(const std::string& filename) {
    if (currentItem.id == -1 || currentItem.nType != kItemImage) {
        return -1;
    }
    rImage* image = Find<rImage>(LayoutProject, kItemImage, currentItem.id);
    if (image == nullptr) {
        return -1;
    }
    if (!filename.empty()) {
        rImage copy = *image;
        copy.filename = filename;
        LayoutProject.modifyItem(kItemImage, &copy);
        image = Find<rImage>(LayoutProject, kItemImage, currentItem.id);
        currentItem.pImage = image->pImage;
    }
    return currentItem.id;
}

int TInterLayout::modifyFontStyle_size(int size) {
    rFontStyle* f = currentItem.nType == kItemFontStyle
                        ? Find<rFontStyle>(LayoutProject, kItemFontStyle, currentItem.id)
                        : nullptr;
    if (f == nullptr) {
        return -1;
    }
    f->size = size;
    LayoutProject.setSaveState();
    return f->id;
}

int TInterLayout::modifyFontStyle_xy(int x, int y) {
    rFontStyle* f = currentItem.nType == kItemFontStyle
                        ? Find<rFontStyle>(LayoutProject, kItemFontStyle, currentItem.id)
                        : nullptr;
    if (f == nullptr) {
        return -1;
    }
    f->x = x;
    f->y = y;
    LayoutProject.setSaveState();
    return f->id;
}

int TInterLayout::modifyFontStyle_color(int32_t color) {
    rFontStyle* f = currentItem.nType == kItemFontStyle
                        ? Find<rFontStyle>(LayoutProject, kItemFontStyle, currentItem.id)
                        : nullptr;
    if (f == nullptr) {
        return -1;
    }
    f->color = color;
    LayoutProject.setSaveState();
    return f->id;
}

} // namespace tavrin
