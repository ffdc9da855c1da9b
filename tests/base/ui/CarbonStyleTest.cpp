// The console's look on a real X server: the dark Carbon style and Chinese
// text drawn with real glyphs.
#include "base/ui/CarbonStyle.h"

#include "tests/support/ui/GuiTestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QRawFont>
#include <QStyle>
#include <algorithm>

namespace tavrin {
namespace {

TEST(CarbonStyle, AppliesTheDarkStyleAndTheApplicationTitle) {
    EXPECT_EQ(QApplication::style()->objectName(), "Carbon");
    EXPECT_EQ(QApplication::applicationName(), "Tavrin");
    const QPalette palette = QApplication::palette();
    EXPECT_LT(palette.color(QPalette::Window).lightness(), 80);
    EXPECT_GT(palette.color(QPalette::WindowText).lightness(), 180);
    EXPECT_GT(palette.color(QPalette::Text).lightness(), 180);

    // A window without a title of its own carries the application's.
    QWidget window;
    window.show();
    test::TXdo xdo;
    EXPECT_EQ(xdo.WaitWindow("^Tavrin$"), window.winId());
}

TEST(CarbonStyle, ChineseTextsHaveGlyphsInTheApplicationFont) {
    QLabel label(QStringLiteral("您好：请保证用户名是数字 距今 星期 一周后 录像存储路径"));
    const QRawFont raw = QRawFont::fromFont(label.font());
    ASSERT_TRUE(raw.isValid());
    EXPECT_TRUE(QFontInfo(label.font()).family().contains("CJK"))
        << QFontInfo(label.font()).family().toStdString();
    for (const QChar c : label.text()) {
        if (c != ' ') {
            EXPECT_TRUE(raw.supportsCharacter(c))
                << "no glyph for U+" << std::hex << int(c.unicode());
        }
    }
    label.show();
    EXPECT_FALSE(test::SaveScreenshot(&label, "carbon-label").empty());
}

// Unchecked boxes and radio buttons stand out from the dark window: the
// lightest pixel of the indicator is well above the window's own shade.
TEST(CarbonStyle, UncheckedIndicatorsAreVisibleOnTheDarkWindow) {
    QCheckBox box(QStringLiteral("框三"));
    QRadioButton radio(QStringLiteral("720P"));
    const int window = QApplication::palette().color(QPalette::Window).lightness();
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(&box), static_cast<QAbstractButton*>(&radio)}) {
        button->setChecked(false);
        button->resize(button->sizeHint());
        QImage image(button->size(), QImage::Format_RGB32);
        button->render(&image);
        const int indicator =
            QApplication::style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button);
        int lightest = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < std::min(indicator + 2, image.width()); ++x) {
                lightest = std::max(lightest, QColor(image.pixel(x, y)).lightness());
            }
        }
        EXPECT_GT(lightest, window + 60) << button->text().toStdString();
    }
}

} // namespace
} // namespace tavrin
