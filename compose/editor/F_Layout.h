// The scene dialog: name, background, member rectangles and the scene's
// texts, each text made from a style with "加下去 V".
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

class QLineEdit;
class QListWidget;

namespace tavrin {

struct TLayoutForm {
    struct Entry {
        int32_t id = 0;
        QString name;
        bool checked = false;
    };
    struct Text {
        int32_t id = 0;
        int32_t fontStyle = 0;
        QString text;
        bool checked = true;
    };
    QString name;
    std::vector<Entry> images;
    int32_t image = -1; // selected background, -1 none
    std::vector<Entry> rects;
    std::vector<Text> texts;
    std::vector<Entry> styles;
    int32_t style = -1; // selected style
};

class TF_Layout : public QDialog {
    Q_OBJECT
public:
    explicit TF_Layout(const TLayoutForm& form, QWidget* parent = nullptr);
    // The dialog's content as the operator left it.
    TLayoutForm Result() const;

    // "加下去 V": a text for the chosen style, id one above the largest.
    void AddText();
    // "当前文本改名...".
    void RenameText();

private:
    void Confirm();

    QLineEdit* edName;
    QListWidget* lvImage;
    QListWidget* lvRect;
    QListWidget* lvText;
    QListWidget* lvStyle;
    TLayoutForm form_;
};

} // namespace tavrin
