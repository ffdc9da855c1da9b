// A window with a grid of panels, each drawn by a display port of a port
// list: the way the console's preview grid hosts its ports.
#pragma once

#include "decode/DispManager.h"

#include <QWidget>
#include <functional>
#include <vector>

namespace tavrin::test {

// A panel that Qt never paints: SDL draws into its native window.
class TPortPanel : public QWidget {
public:
    explicit TPortPanel(int index, QWidget* parent = nullptr);
    QPaintEngine* paintEngine() const override { return nullptr; }
    int Index() const { return index_; }
    // Called after every resize with the panel's new size.
    std::function<void(TPortPanel&)> onResized;

protected:
    void paintEvent(QPaintEvent*) override {}
    void resizeEvent(QResizeEvent* event) override;

private:
    int index_;
};

class TPortHost : public QWidget {
public:
    // columns x rows panels of panelW x panelH with one-pixel gaps.
    TPortHost(TDispManager& manager, int columns, int rows, int panelW, int panelH);

    // One port per panel, in panel order, for pictures of yuvW x yuvH; call
    // once the host is shown. Returns false when a port index is unexpected.
    bool CreatePorts(int yuvW, int yuvH);
    TPortPanel& Panel(int index) { return *panels_[size_t(index)]; }
    int PanelCount() const { return int(panels_.size()); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();

    TDispManager& manager_;
    int columns_;
    int rows_;
    std::vector<TPortPanel*> panels_; // owned by the host as Qt children
};

} // namespace tavrin::test
