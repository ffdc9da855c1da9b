#include "compose/editor/LayoutMouse.h"

#include <algorithm>

namespace tavrin {

namespace {

template <typename T> T* Find(TInterLayout& view, int nType, int32_t id) {
    void* p = nullptr;
    return view.getItem(nType, id, p) == id && p != nullptr ? static_cast<T*>(p) : nullptr;
}

// The list's selection first, then every counted entry in list order.
template <typename T> std::vector<T> Candidates(const std::vector<T>& all, const TListPick& list) {
    std::vector<T> out;
    for (const T& item : all) {
        if (item.id == list.selected) {
            out.push_back(item);
        }
    }
    for (const T& item : all) {
        if (list.Counts(item.id)) {
            out.push_back(item);
        }
    }
    return out;
}

} // namespace

bool TListPick::Counts(int32_t id) const {
    return id == selected || std::find(checked.begin(), checked.end(), id) != checked.end();
}

void TLayoutMouse::ShowOthers(int nType, int32_t id, const TListPick& list) {
    std::vector<TExtendDisp> others;
    for (int32_t c : list.checked) {
        if (c != id) {
            others.push_back({c, nType});
        }
    }
    view_.addExtendDisplayItem(others);
}

std::optional<int32_t> TLayoutMouse::MouseDown(int X, int Y, const TListPick& list) {
    int x = 0;
    int y = 0;
    if (!view_.Map().ToCanvas(X, Y, x, y)) {
        return std::nullopt;
    }
    switch (view_.CurrentItem().nType) {
    case kItemRectangle:
        return DownOnRectangles(x, y, list);
    case kItemFontStyle:
        return DownOnStyles(x, y, list);
    case kItemLayout:
        DownOnScene(x, y);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<int32_t> TLayoutMouse::DownOnRectangles(int x, int y, const TListPick& list) {
    const auto grab =
        TLayoutGesture::HitRectangles(Candidates(view_.Project().Rectangles(), list), x, y);
    if (!grab) {
        rChooseItem = TChooseItem{};
        if (view_.switchToItem(kItemRectangle, list.selected, false) >= 0) {
            ShowOthers(kItemRectangle, list.selected, list);
        }
        view_.refreshDisplay();
        return std::nullopt;
    }
    TChooseItem c;
    c.bChoose = true;
    c.nType = kItemRectangle;
    c.mainID = grab->id;
    c.startW = grab->startW;
    c.startH = grab->startH;
    c.nRectEnterNum = grab->handle;
    c.nRectAdjustOrScale = grab->handle == kHandleBody ? 1 : 2;
    rChooseItem = c;
    view_.switchToItem(kItemRectangle, grab->id, true);
    ShowOthers(kItemRectangle, grab->id, list);
    view_.refreshDisplay();
    return grab->id;
}

std::optional<int32_t> TLayoutMouse::DownOnStyles(int x, int y, const TListPick& list) {
    const auto grab =
        TLayoutGesture::HitStyles(Candidates(view_.Project().FontStyles(), list), x, y);
    if (!grab) {
        rChooseItem = TChooseItem{};
        if (view_.switchToItem(kItemFontStyle, list.selected, false) >= 0) {
            ShowOthers(kItemFontStyle, list.selected, list);
        }
        view_.refreshDisplay();
        return std::nullopt;
    }
    TChooseItem c;
    c.bChoose = true;
    c.nType = kItemFontStyle;
    c.nRectAdjustOrScale = 1;
    c.mainID = grab->id;
    c.startW = grab->startW;
    c.startH = grab->startH;
    rChooseItem = c;
    view_.switchToItem(kItemFontStyle, grab->id, true);
    ShowOthers(kItemFontStyle, grab->id, list);
    view_.refreshDisplay();
    return grab->id;
}

void TLayoutMouse::DownOnScene(int x, int y) {
    const int32_t sceneId = view_.CurrentItem().id;
    const rLayout* scene = Find<rLayout>(view_, kItemLayout, sceneId);
    const auto grab = scene != nullptr ? TLayoutGesture::HitTexts(scene->text, x, y) : std::nullopt;
    if (!grab) {
        if (rChooseItem.bSubItem) {
            view_.switchToSubItem(kItemText, rChooseItem.subID, false);
            view_.doNoChooseText();
            view_.refreshDisplay();
        }
        rChooseItem = TChooseItem{};
        return;
    }
    TChooseItem c;
    c.bChoose = true;
    c.bSubItem = true;
    c.nType = kItemText;
    c.nRectAdjustOrScale = 1;
    c.mainID = sceneId;
    c.subID = grab->id;
    c.startW = grab->startW;
    c.startH = grab->startH;
    rChooseItem = c;
    view_.switchToSubItem(kItemText, grab->id, true);
    view_.refreshDisplay();
}

bool TLayoutMouse::MouseMove(int X, int Y) {
    if (!rChooseItem.bChoose) {
        return false;
    }
    int x = 0;
    int y = 0;
    const TDispMap map = view_.Map();
    if (!map.ToCanvas(X, Y, x, y)) {
        return false;
    }
    const int W = view_.Width();
    const int H = view_.Height();
    const TChooseItem& c = rChooseItem;
    switch (c.nType) {
    case kItemText: {
        rLayout* scene = Find<rLayout>(view_, kItemLayout, c.mainID);
        if (scene == nullptr) {
            return false;
        }
        const auto it = std::find_if(scene->text.begin(), scene->text.end(),
                                     [&c](const rText& t) { return t.id == c.subID; });
        if (it == scene->text.end()) {
            return false;
        }
        const rPoint p = TLayoutGesture::MoveBox(x, y, c.startW, c.startH, it->wh, W, H);
        it->x = p.x;
        it->y = p.y;
        view_.passFontTexture(it->id, map.ToDispX(p.x), map.ToDispY(p.y), false, false);
        view_.refreshDisplay(true);
        view_.setSaveState();
        return true;
    }
    case kItemFontStyle: {
        rFontStyle* f = Find<rFontStyle>(view_, kItemFontStyle, c.mainID);
        if (f == nullptr) {
            return false;
        }
        const rPoint p = TLayoutGesture::MoveBox(x, y, c.startW, c.startH, f->wh, W, H);
        f->x = p.x;
        f->y = p.y;
        view_.passFontTexture(f->id, map.ToDispX(p.x), map.ToDispY(p.y), false, false);
        view_.refreshDisplay(true);
        view_.setSaveState();
        return true;
    }
    case kItemRectangle: {
        rRectangle* r = Find<rRectangle>(view_, kItemRectangle, c.mainID);
        if (r == nullptr) {
            return false;
        }
        if (c.nRectAdjustOrScale == 1) {
            r->rect = TLayoutGesture::MoveRect(r->rect, x, y, c.startW, c.startH, W, H);
        } else {
            const auto resized = TLayoutGesture::ResizeRect(r->rect, c.nRectEnterNum, x, y,
                                                            c.startW, c.startH, W, H);
            if (!resized) {
                return false;
            }
            r->rect = *resized;
        }
        view_.refreshDisplay();
        view_.setSaveState();
        return true;
    }
    default:
        return false;
    }
}

void TLayoutMouse::MouseUp() {
    rChooseItem.bChoose = false;
}

} // namespace tavrin
