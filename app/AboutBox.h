// The about box: a picture, the product's name, the maker's site (opened on a
// click) and the program's version.
#pragma once

#include <QDialog>

namespace tavrin {

inline constexpr char kMakerSite[] = "https://www.tavrin.example/";

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace tavrin
