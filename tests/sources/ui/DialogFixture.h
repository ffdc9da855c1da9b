// A capture-mode set-up for the channel dialogs' window tests: a channel
// manager with three channels (offscreen previews, no sound device) pushing
// into a live sender, the dialogs' access to both, test media made once per
// program, and helpers to answer the modal dialogs the windows open.
#pragma once

#include "base/Message.h"
#include "output/RtmpSend.h"
#include "sources/CManager.h"
#include "sources/ui/ChannelAccess.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QImage>
#include <QString>
#include <gtest/gtest.h>
#include <string>

class QWidget;

namespace tavrin::test {

// Files made by the ffmpeg command line, once per test program.
struct TDialogMedia {
    std::string dir;
    std::string mp4;  // 125 s, 320 x 180, AAC 48 kHz stereo
    std::string jpg;  // 1920 x 1080
    std::string mp3;  // 5 s tone
    std::string junk; // named .mp4, not a video
};
const TDialogMedia& DialogMedia();

class TDialogFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    TClientInfo Info(int ch);
    // The way the console hands the access over: asked anew on every use.
    TChannelAccessor Accessor() {
        return MakeChannelAccessor([this] { return live ? &manager : nullptr; },
                                   [this] { return &sender; });
    }
    // The texts of the messages shown since the test began.
    std::vector<std::string> MessageTexts() const;

    TRtmpSend sender;
    TCManager manager;
    bool live = true; // false: as outside capture mode
    TMessageRecorder messages;
};

// Answers the next file dialog: checks its title and filter, then opens
// file (or cancels when file is empty). then, if given, runs after the answer.
void AnswerFileDialog(const QString& title, const QString& filter, const std::string& file,
                      std::function<void()> then = {});

// The screen's pixels under a widget, as the X server shows them (SDL draws
// panels Qt knows nothing about).
QImage ScreenPixels(QWidget* widget, const std::string& name);

// Mean luma of an image, 0..255.
double MeanLuma(const QImage& image);

} // namespace tavrin::test
