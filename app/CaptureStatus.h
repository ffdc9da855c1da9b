// What the main window's one-second tick does in capture mode, and the texts
// and pane frames it leaves on the window: the sender's audio delay, the
// error-mark notice, the recording limits, the recording and live lines, the
// frame counters and the channels' connection notices. The window paints the
// texts on its own surface around the panes; each text replaces the one at
// its place, and only the changed places are repainted.
#pragma once

#include "app/RecordingLimits.h"
#include "app/StatusLines.h"

#include <QFont>
#include <QObject>
#include <QRect>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QPainter;
class QRegion;

namespace tavrin {

class TCaptureMode;

// The window as the status lines need it.
class IStatusHost {
public:
    virtual ~IStatusHost() = default;
    // Capture mode's controller, null outside capture mode.
    virtual TCaptureMode* CaptureNow() = 0;
    // The status lines sit above the programme's bottom edge and within
    // the window's width.
    virtual int ProgrammeBottom() const = 0;
    virtual int WindowWidth() const = 0;
    // Pane i's place on the window (empty when there is none).
    virtual QRect PaneGeometry(int i) const = 0;
    virtual void Repaint(const QRegion& r) = 0;
};

// A child of the window, so that what it drew can be looked up there.
class TCaptureStatus : public QObject {
    Q_OBJECT
public:
    TCaptureStatus(IStatusHost& win, const QFont& windowFont, QObject* parent = nullptr);

    // One tick after the first; nothing but clearing outside capture mode.
    void Tick();
    // Draws the texts and the lost channels' frames (after the window's own
    // selection frame, so a blinking frame covers it).
    void Paint(QPainter& p) const;

    // The recorder took an error mark: its notice shows for three ticks.
    void ErrorMarked(int digit);

    // For tests: the text at a place, and a channel's frame look.
    std::optional<TStatusText> TextAt(int x, int y) const;
    // For tests: the texts of a row, from left to right.
    std::vector<TStatusText> Row(int y) const;
    TLostFrame FrameOf(int nChannel) const;
    const TRecordingLimits& Limits() const { return limits; }

private:
    struct TPlaced {
        TStatusText text;
        QRect rect;
    };

    void Put(const TStatusText& t);
    // A text left at a place the layout no longer uses would stay on the
    // window; after a resize every text is placed anew.
    void DropTexts();
    void SetFrame(int nChannel, TLostFrame look);
    QRect FrameRectOf(int nChannel) const;
    void Clear();

    IStatusHost& win;
    QFont font;
    TRecordingLimits limits;
    int nDecCount = 0; // ticks left of the error-mark notice
    int nErrorCode = 0;
    std::map<std::pair<int, int>, TPlaced> texts; // by (x, y)
    std::vector<TLostFrame> frames;               // by channel number
    int layoutBottom = -1;                        // the programme's bottom and the counters' pitch
    int layoutPitch = -1;                         // the texts were placed for
};

} // namespace tavrin
