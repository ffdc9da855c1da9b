// The small progress window for long work on the GUI thread (preparing a new
// lesson store): borderless, on top, centred on the screen, a label and a bar
// of 0 ... 100 along its bottom edge.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;

namespace tavrin {

class TF_progress : public QDialog {
    Q_OBJECT
public:
    explicit TF_progress(QWidget* parent = nullptr);

    // Shows sName in the label and sets the bar; both let pending window
    // messages run so the window repaints while its caller keeps the thread.
    void initialize(const QString& sName, int nPos);
    void setPos(int nPos);

    QString Text() const;
    int Pos() const;

private:
    QLabel* label_;
    QProgressBar* bar_;
};

// The progress of preparing a new lesson store as the recorder reports it
// (1 ... 100): the window appears with the first report below 100, so a
// store allocated at once shows nothing, and goes at 100 or with this object.
// One object per preparation; the callback stays safe to call after this
// object is gone.
class TStorePrepareProgress {
public:
    TStorePrepareProgress();
    ~TStorePrepareProgress();
    TStorePrepareProgress(const TStorePrepareProgress&) = delete;
    TStorePrepareProgress& operator=(const TStorePrepareProgress&) = delete;

    // Hand this to the recorder's SetPrepareProgress.
    std::function<void(int percent)> Callback();
    // Whether the window was shown at all (for tests).
    bool WasShown() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace tavrin
