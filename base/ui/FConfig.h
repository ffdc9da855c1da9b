// The settings dialog: bit rate with the sizes it gives per hour, storage
// root, audio delay, recording resolution, pane count and decoder threads.
// One object for the process, shown again for every change.
#pragma once

#include "base/Settings.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tavrin {

class TDriveClassifier;

// Bit rate (units of 1024 bit/s) of bit-rate entry i; 900 for none (-1).
uint32_t BitRateOfEntry(int index);
// The entry that shows a stored bit rate; -1 when none does.
int EntryOfBitRate(uint32_t videobitrate);
// Megabytes per hour of the video at rate r, and of the finished MP4.
uint32_t VideoMBPerHour(uint32_t r);
uint32_t Mp4MBPerHour(uint32_t videoMBPerHour);

class TFConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFConfig(const TDriveClassifier& drives, QWidget* parent = nullptr);

    void initialize(const INIAnotherSet& s);
    // Writes the controls into s; returns bLoginOK (closed with "确定").
    bool GetPAnother(INIAnotherSet& s) const;

    bool bLoginOK = false;

    // Asks for a folder ("" when cancelled); tests replace the file dialog.
    using FolderPicker = std::function<QString(QWidget* parent, const QString& title)>;
    void SetFolderPicker(FolderPicker picker) { picker_ = std::move(picker); }

    QComboBox* BitRateList() const { return bitRate_; }
    QComboBox* AudioDelayList() const { return audioDelay_; }
    QComboBox* ThreadList() const { return threads_; }
    QLabel* VideoSizeLabel() const { return videoSize_; }
    QLabel* Mp4SizeLabel() const { return mp4Size_; }
    QLabel* PathLabel() const { return path_; }
    QPushButton* ChoosePathButton() const { return choosePath_; }
    QRadioButton* Radio720() const { return r720_; }
    QRadioButton* Radio1080() const { return r1080_; }
    QRadioButton* RadioFour() const { return four_; }
    QRadioButton* RadioSix() const { return six_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    void ShowSizes();
    void ChoosePath();

    const TDriveClassifier& drives_;
    FolderPicker picker_;
    QComboBox* bitRate_;
    QComboBox* audioDelay_;
    QComboBox* threads_;
    QLabel* videoSize_;
    QLabel* mp4Size_;
    QLabel* path_;
    QPushButton* choosePath_;
    QRadioButton* r720_;
    QRadioButton* r1080_;
    QRadioButton* four_;
    QRadioButton* six_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace tavrin
