// What a press, a drag and a release on the editor's picture do to the
// current item: selects a rectangle (with the handle it was taken by), a
// style sample or a text of the current scene, and moves or resizes it while
// the button is held. Works in display pixels of the picture panel.
#pragma once

#include "compose/editor/InterLayout.h"
#include "compose/editor/LayoutGesture.h"

#include <optional>
#include <vector>

namespace tavrin {

// The state of one list of the editor window: its selected entry and its
// checked entries, by item id.
struct TListPick {
    int32_t selected = -1;
    std::vector<int32_t> checked;
    bool Counts(int32_t id) const;
};

class TLayoutMouse {
public:
    explicit TLayoutMouse(TInterLayout& view) : view_(view) {}

    // A press at display point (X, Y). `list` is the list of the current
    // kind (rectangles or styles). Returns the id the list should select
    // when an item was taken, nullopt otherwise.
    std::optional<int32_t> MouseDown(int X, int Y, const TListPick& list);
    // A move with the button held; true when the plan changed.
    bool MouseMove(int X, int Y);
    void MouseUp();

    const TChooseItem& State() const { return rChooseItem; }
    // The selected text of the current scene, -1 none.
    int32_t SelectedText() const { return rChooseItem.bSubItem ? rChooseItem.subID : -1; }

private:
    std::optional<int32_t> DownOnRectangles(int x, int y, const TListPick& list);
    std::optional<int32_t> DownOnStyles(int x, int y, const TListPick& list);
    void DownOnScene(int x, int y);
    void ShowOthers(int nType, int32_t id, const TListPick& list);

    TInterLayout& view_;
    TChooseItem rChooseItem;
};

} // namespace tavrin
