// The production dialog: the operator picks the kind of cards and fills
// them in, starts the MP4 builder, watches its progress and, where the
// platform allows it, has the finished MP4 uploaded to the media server.
//
// The replay window makes one per MP4, after the stream settings dialog was
// confirmed: SetPlatformInfo (DoMp4Setup.h) or SetServerInfo and SetVOInfo,
// SetAudioDelay with replay's shift, SetReplayRunning, then exec().
#pragma once

#include "base/GetLessionInfo.h"
#include "base/LessionInfo.h"
#include "mp4/DoMp4Model.h"
#include "mp4/Mp4Thread.h"
#include "mp4/ParseMp4.h"

#include <QDate>
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

namespace tavrin {

class TF_DoMp4 : public QDialog {
    Q_OBJECT
public:
    // paths: where the lesson's store, temporary files and MP4 live.
    explicit TF_DoMp4(const TGetLessionInfo& paths, QWidget* parent = nullptr);
    ~TF_DoMp4() override;

    // The media server and the lesson's token for the upload, and the
    // conversion chosen in the stream settings dialog.
    void SetServerInfo(const std::string& sIP, int nPort, int nLiveID, int nLiveType, int nUserID,
                       const std::string& sLiveToken, const TConvertMode& rCMode);
    // Replay's audio shift, in AAC frames (positive = audio later).
    void SetAudioDelay(int AudioDelayFrame);
    // The lesson, its date and whether its MP4 may be uploaded.
    void SetVOInfo(const TLessionInfo& vo, const QDate& inlessonTime, bool bCanAllowUpload);

    // Asked when "生成" is pressed: the MP4 is made only while replay runs.
    void SetReplayRunning(std::function<bool()> running) { replayRunning = std::move(running); }
    // Picks a card picture; the default is the open-file dialog. For tests.
    using TImagePicker = std::function<QString(QWidget* parent)>;
    void SetImagePicker(TImagePicker picker) { imagePicker = std::move(picker); }

    // 0 idle, 1 building, 2 uploading.
    int State() const { return nInState; }
    const std::string& Mp4FileName() const { return sMp4FileName; }

public slots:
    // Starts the builder with the cards of the page shown ("生成").
    void StartBuild();
    void done(int r) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakeStandardPage();
    QWidget* MakeImagePage();
    QWidget* MakeNoCardPage();
    QComboBox* SecondsList(const QString& name);
    void PickImage(bool bTail);
    TCardForm Form() const;
    void Tick();
    void TickBuilding();
    void TickUploading();
    void StartUpload();
    void EndBuilder();
    void EndUpload();
    void Finish(int result);

    TGetLessionInfo paths;
    TLessionInfo voInfo;
    int nAudioDelay = 0;
    std::unique_ptr<TMp4Thread> Mp4Thread;
    std::unique_ptr<TParseMp4> Upload;
    std::string sMp4FileName;
    int nInState = 0;
    bool bNeedTransfer = false;
    bool bCanTransfer = false;
    bool bAllowUpload = false; // the platform lets this lesson's MP4 be uploaded
    int nMp4TotalFrame = 0;
    std::string IP;
    int Port = 0;
    int LiveType = 1;
    int LiveID = 0;
    int UserID = 0;
    std::string LiveToken;
    TConvertMode ConvertMode;
    std::string sHeadImage;
    std::string sTailImage;
    std::function<bool()> replayRunning;
    TImagePicker imagePicker;

    QTabWidget* PC_Head;
    QComboBox* cb_head;
    QComboBox* cb_tail;
    QDateEdit* dt_record;
    QLineEdit* ed_maker;
    QLineEdit* ed_content;
    QLineEdit* ed_subject;
    QLineEdit* ed_grade;
    QLineEdit* ed_version;
    QLineEdit* ed_school;
    QLineEdit* ed_teacher;
    QComboBox* cb_imageHead;
    QComboBox* cb_imageTail;
    QLabel* lab_pix;
    QLabel* lab_headImage;
    QLabel* lab_tailImage;
    QCheckBox* ck_upload;
    QProgressBar* bar;
    QPushButton* btn_start;
    QTimer* timer;
};

} // namespace tavrin
