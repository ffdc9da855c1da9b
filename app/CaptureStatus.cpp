#include "app/CaptureStatus.h"

#include "app/CaptureMode.h"
#include "base/Message.h"
#include "base/ui/MessageBoxHandler.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace tavrin {

namespace {

const QColor kBackground(38, 38, 38);
const QColor kLostRed(255, 0, 0);

QColor ToQColor(const TStatusColour& c) {
    return QColor(c.r, c.g, c.b);
}

constexpr const char* kSlidesOnSoundChannelMessage =
    "第一设备通道是录音通道，不可以是PPT图像。\n\r"
    "因此，在发现第一通道连接对象是PPT时，系统将其强行中断。";

} // namespace

TCaptureStatus::TCaptureStatus(IStatusHost& w, const QFont& windowFont, QObject* parent)
    : QObject(parent), win(w), font(windowFont) {
    font.setPointSize(12);
}

void TCaptureStatus::ErrorMarked(int digit) {
    nDecCount = 4;
    nErrorCode = digit;
}

void TCaptureStatus::Tick() {
    if (win.CaptureNow() == nullptr) {
        Clear();
        return;
    }
    TCaptureMode& capture = *win.CaptureNow();
    TCaptureSession& session = capture.Session();
    const TDirector director = session.Director();
    const int programmeBottom = win.ProgrammeBottom();
    const int selected = int(capture.CurrentPort());
    const int nChannels = director.ChannelCount();
    // A window too narrow for the counters at their usual pitch draws them
    // closer together rather than past its right edge.
    const QFontMetrics fm(font);
    const int counterWidth = std::max(fm.horizontalAdvance(QStringLiteral("  00:00")),
                                      fm.horizontalAdvance(QStringLiteral(">00:00")));
    const int pitch = CounterPitch(win.WindowWidth(), nChannels, counterWidth);
    if (programmeBottom != layoutBottom || pitch != layoutPitch) {
        DropTexts();
        layoutBottom = programmeBottom;
        layoutPitch = pitch;
    }
    // Messages are shown after the tick, which goes on every second while a
    // box is up: the limits stop a recording nobody answers for.
    std::vector<std::pair<const char*, TMsgIcon>> messages;

    if (const auto notice = ErrorMarkNotice(nDecCount, nErrorCode, programmeBottom)) {
        Put(*notice);
        --nDecCount;
    }

    int T = 0;
    int L = 0;
    const bool answered = session.RecordTotals(T, L);
    // The window lets the next lesson record again when it enters capture.
    if (!capture.RecordingPrevented() && limits.PreventCapture()) {
        limits.EnterCapture();
    }
    const TRecordingLimits::TVerdict verdict = limits.Tick(answered, T, L);
    if (verdict == TRecordingLimits::TVerdict::Stop) {
        capture.StopRecordingAtLimit();
    }
    if (const char* text = RecordingLimitMessage(verdict)) {
        messages.emplace_back(text, TMsgIcon::Warning);
    }
    Put(RecordingLine(capture.RecordingPrevented(), capture.Recording(), T, L, director.Pix(0)));

    Put(FrameCounterLabel());
    TChannelCounters c;
    int r = session.Counters(0, c);
    if (const auto t =
            ProgrammeCounter(r, c.nVideo, c.nAudio, selected == 0, c.bVideoOK, c.bAudioOK)) {
        Put(*t);
    }
    for (int ch = 1; ch <= nChannels; ++ch) {
        r = session.Counters(ch, c);
        Put(ChannelCounter(ch, r, c.nVideo, c.nAudio, selected == ch, c.bVideoOK, c.bAudioOK,
                           pitch));
    }

    if (TClientSendInfo info; session.SenderInfo(info)) {
        if (const auto t = LiveLine(info, programmeBottom)) {
            Put(*t);
        }
    }

    // The session's tick: the sender's audio delay, the lost channels'
    // countdown and reconnection, and the notices that end.
    std::vector<TChannelEvent> events;
    session.Tick(events);
    std::vector<TLostFrame> looks(size_t(nChannels) + 1, TLostFrame::None);
    for (const TChannelEvent& e : events) {
        if (e.kind == TChannelEvent::kBlink && e.nChannel <= nChannels) {
            // A lost channel's frame blinks with its countdown.
            looks[size_t(e.nChannel)] = e.bOn ? TLostFrame::Red : TLostFrame::Erase;
        } else if (e.kind == TChannelEvent::kSlidesOnSound) {
            messages.emplace_back(kSlidesOnSoundChannelMessage, TMsgIcon::Information);
        }
    }
    for (int ch = 1; ch <= nChannels; ++ch) {
        SetFrame(ch, looks[size_t(ch)]);
    }

    for (const auto& [text, icon] : messages) {
        ShowMessageAfterThisEvent(text, icon);
    }
}

void TCaptureStatus::Put(const TStatusText& t) {
    const QFontMetrics fm(font);
    const QString s = QString::fromStdString(t.text);
    const QRect rect(t.x, t.y, fm.horizontalAdvance(s), fm.height());
    auto [it, added] = texts.try_emplace({t.x, t.y}, TPlaced{t, rect});
    if (!added) {
        if (it->second.text.text == t.text && it->second.text.colour == t.colour) {
            return;
        }
        win.Repaint(it->second.rect);
        it->second = TPlaced{t, rect};
    }
    win.Repaint(rect);
}

QRect TCaptureStatus::FrameRectOf(int nChannel) const {
    const QRect pane = win.PaneGeometry(nChannel);
    return pane.isEmpty() ? QRect() : pane.adjusted(-1, -1, 1, 1);
}

void TCaptureStatus::SetFrame(int nChannel, TLostFrame look) {
    if (size_t(nChannel) >= frames.size()) {
        frames.resize(size_t(nChannel) + 1, TLostFrame::None);
    }
    if (frames[size_t(nChannel)] == look) {
        return;
    }
    frames[size_t(nChannel)] = look;
    const QRect r = FrameRectOf(nChannel);
    // Only the one-pixel frame changes; repainting the panes' area would be
    // clipped away anyway, but the region keeps the update small.
    win.Repaint(QRegion(r).subtracted(QRegion(r.adjusted(1, 1, -1, -1))));
}

void TCaptureStatus::DropTexts() {
    for (const auto& [place, placed] : texts) {
        win.Repaint(placed.rect);
    }
    texts.clear();
}

void TCaptureStatus::Clear() {
    nDecCount = 0; // a notice of the lesson left does not come back with the next one
    DropTexts();
    layoutBottom = layoutPitch = -1;
    for (size_t ch = 0; ch < frames.size(); ++ch) {
        SetFrame(int(ch), TLostFrame::None);
    }
}

void TCaptureStatus::Paint(QPainter& p) const {
    const TCaptureMode* capture = win.CaptureNow();
    if (capture == nullptr) {
        return;
    }
    if (capture->DispMode() == 0) {
        for (size_t ch = 1; ch < frames.size(); ++ch) {
            if (frames[ch] == TLostFrame::None) {
                continue;
            }
            const QRect r = FrameRectOf(int(ch));
            p.setPen(frames[ch] == TLostFrame::Red ? kLostRed : kBackground);
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
    }
    p.setFont(font);
    const QFontMetrics fm(font);
    for (const auto& [place, placed] : texts) {
        p.setPen(ToQColor(placed.text.colour));
        p.drawText(placed.rect.x(), placed.rect.y() + fm.ascent(),
                   QString::fromStdString(placed.text.text));
    }
}

std::optional<TStatusText> TCaptureStatus::TextAt(int x, int y) const {
    const auto it = texts.find({x, y});
    if (it == texts.end()) {
        return std::nullopt;
    }
    return it->second.text;
}

std::vector<TStatusText> TCaptureStatus::Row(int y) const {
    std::vector<TStatusText> row;
    for (const auto& [place, placed] : texts) {
        if (place.second == y) {
            row.push_back(placed.text);
        }
    }
    std::sort(row.begin(), row.end(),
              [](const TStatusText& a, const TStatusText& b) { return a.x < b.x; });
    return row;
}

TLostFrame TCaptureStatus::FrameOf(int nChannel) const {
    return size_t(nChannel) < frames.size() ? frames[size_t(nChannel)] : TLostFrame::None;
}

} // namespace tavrin
