// Paints the image-button pictures "PNG_" + tag + state at build time:
// state 1 normal, 2 under the mouse, 3 pressed; 4 ... 6 the same for the
// running look of the buttons that have one. Usage: make_button_pictures DIR
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct TLook {
    QColor plate, border, glyph;
    bool pressed;
    bool running;
};

using TGlyph = std::function<void(QPainter&, const TLook&)>;

struct TButton {
    int tag;
    int w, h;
    bool hasRunningLook;
    TGlyph glyph;
};

const QColor kRed(224, 60, 52);
const QColor kGreen(70, 200, 100);

TLook Look(int state) {
    const bool running = state > 3;
    const int s = running ? state - 3 : state;
    TLook look{};
    look.running = running;
    look.pressed = s == 3;
    switch (s) {
    case 1:
        look = {QColor(52, 56, 60), QColor(82, 86, 90), QColor(205, 205, 205), false, running};
        break;
    case 2:
        look = {QColor(72, 80, 88), QColor(130, 140, 150), QColor(255, 255, 255), false, running};
        break;
    default:
        look = {QColor(44, 84, 107), QColor(96, 156, 196), QColor(255, 255, 255), true, running};
        break;
    }
    return look;
}

QPen Pen(const QColor& c, double width) {
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Glyphs are drawn in a 40 x 40 box centred in the picture.

void Screens(QPainter& p, const TLook& l, const std::vector<QRectF>& parts) {
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(8, 11, 24, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(l.glyph);
    for (const QRectF& r : parts) {
        p.drawRect(r);
    }
}

void RecordPlay(QPainter& p, const TLook& l) {
    if (!l.running) {
        // Idle: a red dot to start recording, with the play mark for replay.
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawEllipse(QPointF(20, 20), 11, 11);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(17, 14.5), QPointF(25.5, 20), QPointF(17, 25.5)}));
    } else {
        // Running: a red ring with the pause bars.
        p.setPen(Pen(kRed, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(20, 20), 10.5, 10.5);
        p.setPen(Qt::NoPen);
        p.setBrush(l.glyph);
        p.drawRect(QRectF(15.5, 14, 3, 12));
        p.drawRect(QRectF(21.5, 14, 3, 12));
    }
}

void Ptz(QPainter& p, const TLook& l) {
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(20, 20), 4.5, 4.5);
    p.setBrush(l.glyph);
    p.setPen(Qt::NoPen);
    const double a = 4;
    p.drawPolygon(QPolygonF({QPointF(20, 7), QPointF(20 - a, 12), QPointF(20 + a, 12)}));
    p.drawPolygon(QPolygonF({QPointF(20, 33), QPointF(20 - a, 28), QPointF(20 + a, 28)}));
    p.drawPolygon(QPolygonF({QPointF(7, 20), QPointF(12, 20 - a), QPointF(12, 20 + a)}));
    p.drawPolygon(QPolygonF({QPointF(33, 20), QPointF(28, 20 - a), QPointF(28, 20 + a)}));
}

void Audio(QPainter& p, const TLook& l) {
    p.setPen(Qt::NoPen);
    p.setBrush(l.glyph);
    p.drawPolygon(QPolygonF({QPointF(9, 16), QPointF(14, 16), QPointF(20, 10), QPointF(20, 30),
                             QPointF(14, 24), QPointF(9, 24)}));
    p.setBrush(Qt::NoBrush);
    if (l.running) {
        p.setPen(Pen(kGreen, 1.8));
        p.drawArc(QRectF(16, 14, 10, 12), -50 * 16, 100 * 16);
        p.drawArc(QRectF(14, 10, 17, 20), -50 * 16, 100 * 16);
        p.drawArc(QRectF(12, 6, 24, 28), -50 * 16, 100 * 16);
    } else {
        p.setPen(Pen(kRed, 2));
        p.drawLine(QPointF(24, 16), QPointF(31, 24));
        p.drawLine(QPointF(31, 16), QPointF(24, 24));
    }
}

void Chooser(QPainter& p, const TLook& l) {
    // A timetable page: header and rows.
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(9, 9, 22, 22), 2, 2);
    p.setBrush(l.glyph);
    p.drawRect(QRectF(9, 9, 22, 5));
    p.setPen(Pen(l.glyph, 1.4));
    for (double y : {18.5, 22.5, 26.5}) {
        p.drawLine(QPointF(12, y), QPointF(16, y));
        p.drawLine(QPointF(18, y), QPointF(28, y));
    }
}

void ChannelDialog(QPainter& p, const TLook& l) {
    // A camera with a small link mark.
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(7, 13, 19, 14), 2, 2);
    p.drawPolygon(
        QPolygonF({QPointF(26, 17.5), QPointF(33, 13.5), QPointF(33, 26.5), QPointF(26, 22.5)}));
    p.setBrush(l.glyph);
    p.drawEllipse(QPointF(16.5, 20), 2.5, 2.5);
}

void Retry(QPainter& p, const TLook& l) {
    p.setPen(Pen(l.glyph, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10, 10, 20, 20), 60 * 16, 290 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(l.glyph);
    // Arrow head at the open end of the arc (60 degrees).
    const double cx = 20 + 10 * std::cos(M_PI / 3), cy = 20 - 10 * std::sin(M_PI / 3);
    p.drawPolygon(
        QPolygonF({QPointF(cx + 5, cy - 3), QPointF(cx - 2, cy - 5.5), QPointF(cx + 1.5, cy + 4)}));
}

void Menu(QPainter& p, const TLook& l) {
    p.setPen(Pen(l.glyph, 2.6));
    for (double y : {13.0, 20.0, 27.0}) {
        p.drawLine(QPointF(11, y), QPointF(29, y));
    }
}

void DeleteMark(QPainter& p, const TLook& l) {
    // A strip of blocks with one crossed out.
    p.setPen(Pen(l.glyph, 1.4));
    p.setBrush(Qt::NoBrush);
    for (double x : {7.0, 16.0, 25.0}) {
        p.drawRect(QRectF(x, 14, 8, 12));
    }
    p.setPen(Pen(kRed, 2.4));
    p.drawLine(QPointF(14, 10), QPointF(26, 30));
    p.drawLine(QPointF(26, 10), QPointF(14, 30));
}

void Save(QPainter& p, const TLook& l) {
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath disk;
    disk.moveTo(10, 9);
    disk.lineTo(27, 9);
    disk.lineTo(31, 13);
    disk.lineTo(31, 31);
    disk.lineTo(10, 31);
    disk.closeSubpath();
    p.drawPath(disk);
    p.drawRect(QRectF(14, 9, 11, 7));
    p.setBrush(l.glyph);
    p.drawRect(QRectF(14, 22, 13, 9));
}

void ClearMarks(QPainter& p, const TLook& l) {
    // An eraser over a line of marks.
    p.setPen(Pen(kRed, 1.6));
    for (double x : {8.0, 13.0, 18.0}) {
        p.drawLine(QPointF(x, 31), QPointF(x + 3, 31));
    }
    p.save();
    p.translate(22, 19);
    p.rotate(-35);
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(-10, -5, 20, 10));
    p.setBrush(l.glyph);
    p.drawRect(QRectF(-10, -5, 7, 10));
    p.restore();
}

void Mp4(QPainter& p, const TLook& l) {
    // A film frame with an arrow out of it.
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(8, 8, 18, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(l.glyph);
    for (double y : {10.0, 14.5, 19.0}) {
        p.drawRect(QRectF(10, y, 2.5, 2.5));
        p.drawRect(QRectF(21.5, y, 2.5, 2.5));
    }
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({QPointF(26, 22), QPointF(26, 26), QPointF(20, 26), QPointF(20, 29),
                             QPointF(14, 29), QPointF(14, 26)}));
    p.drawPolygon(QPolygonF({QPointF(24, 20), QPointF(32, 27), QPointF(24, 34)}));
}

void Push(QPainter& p, const TLook& l) {
    // A mast sending waves; live pushes in red.
    const QColor waves = l.running ? kRed : l.glyph;
    p.setPen(Pen(l.glyph, 1.8));
    p.drawLine(QPointF(20, 20), QPointF(14, 33));
    p.drawLine(QPointF(20, 20), QPointF(26, 33));
    p.drawLine(QPointF(16, 28), QPointF(24, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(waves);
    p.drawEllipse(QPointF(20, 18), 2.6, 2.6);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(waves, 1.8));
    p.drawArc(QRectF(13, 11, 14, 14), 30 * 16, 120 * 16);
    p.drawArc(QRectF(8, 6, 24, 24), 35 * 16, 110 * 16);
}

void ChooserRecord(QPainter& p, const TLook& l) {
    // Record: a camera with a red dot.
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 12, 20, 16), 2, 2);
    p.drawPolygon(QPolygonF({QPointF(25, 17), QPointF(33, 13), QPointF(33, 27), QPointF(25, 23)}));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(15, 20), 4.5, 4.5);
}

void ChooserReplay(QPainter& p, const TLook& l) {
    // Replay: a film frame with the play mark.
    p.setPen(Pen(l.glyph, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(7, 10, 26, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(l.glyph);
    for (double x : {9.5, 14.5, 19.5, 24.5, 29.0}) {
        p.drawRect(QRectF(x - 0.5, 11.5, 2, 2));
        p.drawRect(QRectF(x - 0.5, 26.5, 2, 2));
    }
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({QPointF(17, 15.5), QPointF(25, 20), QPointF(17, 24.5)}));
}

std::vector<TButton> Buttons() {
    const auto layout = [](std::vector<QRectF> parts) {
        return [parts](QPainter& p, const TLook& l) { Screens(p, l, parts); };
    };
    return {
        {1, 40, 40, false, layout({QRectF(10, 13, 20, 14)})},
        {2, 40, 40, false, layout({QRectF(10, 13, 9.5, 14), QRectF(20.5, 13, 9.5, 14)})},
        {3, 40, 40, false,
         layout({QRectF(10, 13, 12, 14), QRectF(23, 13, 7, 6.5), QRectF(23, 20.5, 7, 6.5)})},
        {65, 40, 40, false,
         layout({QRectF(10, 13, 9.5, 6.5), QRectF(20.5, 13, 9.5, 6.5), QRectF(10, 20.5, 9.5, 6.5),
                 QRectF(20.5, 20.5, 9.5, 6.5)})},
        {4, 40, 40, true, RecordPlay},
        {6, 40, 40, false, Ptz},
        {9, 40, 40, true, Audio},
        {10, 40, 40, true, Push},
        {20, 40, 40, false, DeleteMark},
        {21, 40, 40, false, Save},
        {22, 40, 40, false, ClearMarks},
        {23, 40, 40, false, Mp4},
        {50, 64, 48, false, ChooserReplay},
        {52, 40, 40, false, Chooser},
        {54, 40, 40, false, ChannelDialog},
        {55, 40, 40, false, Retry},
        {60, 64, 48, false, ChooserRecord},
        {66, 40, 40, false, Menu},
    };
}

QImage Paint(const TButton& b, int state) {
    const TLook look = Look(state);
    QImage image(b.w, b.h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(look.running ? kRed.darker(130) : look.border, 1));
    p.setBrush(look.plate);
    p.drawRoundedRect(QRectF(0.5, 0.5, b.w - 1, b.h - 1), 5, 5);
    const double scale = std::min(b.w, b.h) / 40.0;
    p.translate((b.w - 40 * scale) / 2 + (look.pressed ? 1 : 0),
                (b.h - 40 * scale) / 2 + (look.pressed ? 1 : 0));
    p.scale(scale, scale);
    b.glyph(p, look);
    p.end();
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_button_pictures DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (const TButton& b : Buttons()) {
        const int states = b.hasRunningLook ? 6 : 3;
        for (int state = 1; state <= states; ++state) {
            const QString file = QStringLiteral("%1/PNG_%2%3.png").arg(dir).arg(b.tag).arg(state);
            if (!Paint(b, state).save(file, "PNG")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
