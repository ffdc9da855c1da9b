// The stream settings dialog: shows the recording's figures, lets the
// operator keep the recorded video, change only the cards' size, or
// re-encode at a chosen size and bit rate, with an estimate of the result.
#pragma once

#include "mp4/Mp4Thread.h"
#include "mp4/PixSetModel.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tavrin {

class TF_PixSet : public QDialog {
    Q_OBJECT
public:
    explicit TF_PixSet(QWidget* parent = nullptr);

    // size in MB, length in seconds, video bit rate in 0.1 Mbit/s, picture
    // size, as the store reports them. Resets the choice; returns 0.
    int SetServerInfo(int size, int nSec, int bitrate, int width, int height);

    // After the dialog closed: whether "确定" was pressed, and the choice.
    bool IsOK() const { return bOK; }
    const TConvertMode& GetConvertMode() const { return ConvertMode; }

private:
    void ModeChanged(int mode);
    void ShowEstimate();
    void Confirm();

    TPixSetModel model;
    int nMode = 0;
    bool bOK = false;
    TConvertMode ConvertMode;

    QLabel* lab_info;
    QButtonGroup* modes;
    QRadioButton* rb_copy;
    QRadioButton* rb_cards;
    QRadioButton* rb_reencode;
    QComboBox* CB_PIX;
    QComboBox* CB_Bitbrate;
    QLabel* lab_Mp4Size;
    QPushButton* btn_ok;
    QPushButton* btn_cancel;
};

} // namespace tavrin
