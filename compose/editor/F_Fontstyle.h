// The text-style dialog: the text, a size from 16 to 100 and one of seven
// colours, with a sample drawn in the plan font on a silver band.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QButtonGroup;
class QComboBox;
class QLineEdit;

namespace tavrin {

// Plan font face written into every style.
inline const char* const kPlanFontName = "思源宋体 CN SemiBold";

// The seven swatches, left to right, as 0xRRGGBB.
inline constexpr std::array<uint32_t, 7> kSwatches = {0xFFFFFF, 0x808080, 0x000000, 0xFF0000,
                                                      0x008000, 0x0000FF, 0x008080};

class TF_Fontstyle : public QDialog {
    Q_OBJECT
public:
    // colorRef in the plans' layout (0x00BBGGRR).
    TF_Fontstyle(const QString& text, int size, int32_t colorRef, QWidget* parent = nullptr);

    QString Text() const;
    int Size() const;
    int32_t ColorRef() const { return colorRef_; }

    // Band geometry: it starts this far from the top; the sample sits at
    // (2, 145).
    static constexpr int kBandTop = 144;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* edText;
    QComboBox* cbSize;
    QButtonGroup* swatches;
    int32_t colorRef_;
    QString family_;
};

} // namespace tavrin
