// The position of an MP4 channel: jump to a minute and second, pause or
// resume, switch looping. Shown modally for a channel that plays a file.
#pragma once

#include "sources/ui/ChannelAccess.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace tavrin {

class TF_Mp4Adjust : public QDialog {
    Q_OBJECT

public:
    explicit TF_Mp4Adjust(TChannelAccessor access, QWidget* parent = nullptr);

    // The channel to steer; call before showing.
    void setCH(int CH) { nChannel = CH; }
    // Reads the position and the loop state into the controls.
    void FormShow();

    int nChannel = 0;

    QCheckBox* CB_Cycle;
    QSlider* t_min;
    QSlider* t_sec;
    QLabel* lab_min;
    QLabel* lab_sec;
    QPushButton* BtLocate;    // "定位"
    QPushButton* BtStartStop; // "启停"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowCycleState();
    void UpdateLabels();

    TChannelAccessor Access;
};

} // namespace tavrin
