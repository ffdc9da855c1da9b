// The editor's view model: owns the plan model and the display port of the
// picture panel, knows the item being edited and draws it with its members
// and the extra items beside it.
#pragma once

#include "compose/LayoutProject.h"
#include "compose/editor/LayoutGesture.h"
#include "decode/Display.h"

#include <memory>
#include <string>
#include <vector>

namespace tavrin {

using TPicture = std::shared_ptr<std::vector<uint8_t>>;

struct TCurrentItem {
    int32_t id = -1; // -1: nothing current
    int nType = 0;
    std::string name;
    TPicture pImage; // the background shown with the item
};

// An item drawn beside the current one (kItemRectangle or kItemFontStyle).
struct TExtendDisp {
    int32_t id = 0;
    int nType = 0;
};

class TInterLayout {
public:
    TInterLayout() = default;
    TInterLayout(const TInterLayout&) = delete;
    TInterLayout& operator=(const TInterLayout&) = delete;

    // Draws into window xHandle (0: offscreen) at xr for a canvas of the
    // given size. 0, or -1 when the display could not be made.
    int initialize(TNativeWindow xHandle, int YUVWidth, int YUVHeight, const rRect& xr);
    void modifyDispRect(const rRect& xr);
    rRect GetDispRect() const { return Disp_xr; }
    TDispMap Map() const { return {Disp_xr, nYUVWidth, nYUVHeight}; }
    int Width() const { return nYUVWidth; }
    int Height() const { return nYUVHeight; }

    // Scene nID with its background becomes current: the image id, or -1
    // (nothing changes) when the scene or its background is missing.
    int switchToLayout(int32_t nID);
    // An image, rectangle or style becomes current: nID, or -1.
    int switchToItem(int nType, int32_t nID, bool choose);
    // Selects (or not) text nID of the current scene; always -1.
    int switchToSubItem(int nType, int32_t nID, bool choose);
    void addExtendDisplayItem(const std::vector<TExtendDisp>& list);
    void clearExtendDisplayItem() { aExtDisp.clear(); }
    // Redraws the picture; with bDontClearNewFontText the text textures are
    // kept as they are (a text is being dragged).
    int refreshDisplay(bool bDontClearNewFontText = false);
    void passFontTexture(int32_t id, int x, int y, bool bNeedModifyMode, bool bModefyMode);
    void doNoChooseText();
    bool saveBmp(int nW, int nH, const std::string& bmpFile);

    // Draws the current picture into a port of its own of w x h; used for
    // snapshots, so the panel never changes size.
    bool RenderTo(TDisplay& port, int w, int h);

    // The model, and wrappers the editor calls.
    TLayoutProject& Project() { return LayoutProject; }
    int newProject(int32_t userid, const std::string& name, const std::string& file);
    int loadProject(const std::string& file);
    int saveProject() { return LayoutProject.saveProject(); }
    int newItem(int nType, const void* pItem) { return LayoutProject.newItem(nType, pItem); }
    int modifyItem(int nType, const void* pItem) { return LayoutProject.modifyItem(nType, pItem); }
    bool delItem(int nType, int32_t id);
    bool exchangeItemOrder(int nType, int32_t a, int32_t b) {
        return LayoutProject.exchangeItemOrder(nType, a, b);
    }
    int copyLayout(int32_t id) { return LayoutProject.copyLayout(id); }
    int getItem(int nType, int32_t nID, void*& p) { return LayoutProject.getItem(nType, nID, p); }
    bool getHeadInfo(rProjectHead& p) const { return LayoutProject.getHeadInfo(p); }
    void setHeadInfo(const std::string& name, const std::string& rtmp) {
        LayoutProject.setHeadInfo(name, rtmp);
    }
    bool getIfNeedSave() const { return LayoutProject.getIfNeedSave(); }
    void setSaveState() { LayoutProject.setSaveState(); }

    // Editors of the current item: -1 without one or when it is of another
    // kind.
    int modifyItemName(const std::string& name);
    int modify_Image_name(const std::string& name);
    int modify_Image_filename(const std::string& filename);
    int modifyFontStyle_size(int size);
    int modifyFontStyle_xy(int x, int y);
    int modifyFontStyle_color(int32_t color);

    const TCurrentItem& CurrentItem() const { return currentItem; }
    bool Chosen() const { return bChoose; }
    int32_t ChosenText() const { return CurrentChooseType == kItemText ? CurrentChooseID : -1; }
    const std::vector<TExtendDisp>& ExtendItems() const { return aExtDisp; }
    TDisplay& Display() { return display; }
    // The picture pushed when nothing else is shown.
    const std::vector<uint8_t>& Background() const { return pBackground; }

private:
    void Draw(TDisplay& port, const TDispMap& map, bool bDontClearNewFontText);
    void DrawText(TDisplay& port, const TDispMap& map, int32_t id, const std::string& text,
                  const rFontStyle& style, int x, int y, int mode, rPoint& wh);
    void ResetCurrent();

    bool biniDsp = false;
    rRect Disp_xr;
    TCurrentItem currentItem;
    int nYUVWidth = kPlanWidth;
    int nYUVHeight = kPlanHeight;
    bool bChoose = false;
    int CurrentChooseType = 0;
    int32_t CurrentChooseID = -1;
    std::vector<TExtendDisp> aExtDisp;
    TDisplay display;
    TLayoutProject LayoutProject;
    std::vector<uint8_t> pBackground;
};

} // namespace tavrin
