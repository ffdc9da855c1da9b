// The local device check: choose a camera, its picture size and a
// microphone, and try them: the camera's pictures in the panel, the
// microphone's level in the bar. Shown modally for one use; the choice is
// read back from bChooseOK and the two names, and stored in the device list
// so that a channel opened later uses the chosen size.
#pragma once

#include "sources/NativeDevice.h"

#include <QDialog>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QProgressBar;
class QPushButton;

namespace tavrin {

class TAudioClient;
class TVideoClient;

// A panel SDL draws into: Qt never paints it.
class TNativePanel : public QWidget {
public:
    explicit TNativePanel(QWidget* parent = nullptr);
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent*) override {}
};

class TF_Native : public QDialog {
    Q_OBJECT

public:
    explicit TF_Native(QWidget* parent = nullptr);
    ~TF_Native() override;

    // Stops the test threads whichever way the dialog closes.
    void done(int r) override;

    bool bChooseOK = false;
    std::string sVideoDeviceName;
    std::string sAudioDeviceName;

    int nVCount = 0;
    int nACount = 0;
    std::vector<TNativeDeviceInfo_Video> pV;
    std::vector<TNativeDeviceInfo_Audio> pA;

    QComboBox* CB_camera;
    QComboBox* CB_Pix;
    TNativePanel* PDisp;
    QCheckBox* CheckBox1; // "使用麦克风"
    QProgressBar* PBar;
    QComboBox* CB_Mic;
    QPushButton* BtTest;   // "看效果"
    QPushButton* BtOK;     // "确定"
    QPushButton* BtCancel; // "取消"

    // The test threads while they run (null otherwise).
    const TVideoClient* VideoTest() const { return VideoClient.get(); }
    const TAudioClient* AudioTest() const { return AudioClient.get(); }

private:
    void FillSizes();
    void StartTest();
    void StopTest();
    void OkClicked();
    void TimerTick();

    std::unique_ptr<TVideoClient> VideoClient;
    std::unique_ptr<TAudioClient> AudioClient;
    QTimer Timer1;
};

} // namespace tavrin
