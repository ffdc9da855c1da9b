#include "tests/sources/ui/DialogFixture.h"

#include "tests/support/TestMedia.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace tavrin::test {

namespace {

// Makes file with an ffmpeg command (its output named by %OUT%) unless it is
// there. Test programs run side by side: each writes a file of its own and
// renames it into place whole.
void MakeOnce(const std::string& file, const std::string& command) {
    if (QFileInfo::exists(QString::fromStdString(file))) {
        return;
    }
    const std::string ext = file.substr(file.rfind('.'));
    const std::string part = file + ".part" + std::to_string(::getpid()) + ext;
    std::string c = command;
    c.replace(c.find("%OUT%"), 5, "'" + part + "'");
    if (Run("ffmpeg -nostdin -v error -y " + c)) {
        std::rename(part.c_str(), file.c_str());
    }
    std::remove(part.c_str());
}

} // namespace

const TDialogMedia& DialogMedia() {
    static const TDialogMedia media = [] {
        TDialogMedia m;
        m.dir = TestOutputDir() + "/media";
        QDir().mkpath(QString::fromStdString(m.dir));
        m.mp4 = m.dir + "/lesson 125s.mp4";
        m.jpg = m.dir + "/still.jpg";
        m.mp3 = m.dir + "/music.mp3";
        m.junk = m.dir + "/broken.mp4";
        MakeOnce(m.mp4, "-f lavfi -i testsrc2=size=320x180:rate=25 -f lavfi -i "
                        "sine=frequency=440:sample_rate=48000 -t 125 -c:v libx264 -preset "
                        "ultrafast -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 %OUT%");
        MakeOnce(m.jpg, "-f lavfi -i testsrc2=size=1920x1080 -frames:v 1 %OUT%");
        MakeOnce(m.mp3,
                 "-f lavfi -i sine=frequency=660:sample_rate=44100 -t 5 -c:a libmp3lame %OUT%");
        if (!QFileInfo::exists(QString::fromStdString(m.junk))) {
            const std::string part = m.junk + ".part" + std::to_string(::getpid());
            std::ofstream(part) << "this is no video\n";
            std::rename(part.c_str(), m.junk.c_str());
        }
        return m;
    }();
    return media;
}

// Before anything lists the devices: the virtual camera and microphone.
const bool kVirtualDevices = ::setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1) == 0;

void TDialogFixture::SetUpTestSuite() {
    ::setenv("TAVRIN_VIRTUAL_DEVICES", "1", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    const TDialogMedia& m = DialogMedia();
    for (const std::string& f : {m.mp4, m.jpg, m.mp3}) {
        ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(f))) << f;
    }
}

void TDialogFixture::SetUp() {
    sender.initialize(1280, 720, 0);
    sender.Start();
    manager.SetOutputs(&sender, nullptr);
    ASSERT_EQ(0, manager.initialize(0, 1280, 720, 2048 * 1024, {0, 0, 320, 180}, 0, {1, 2, 3}, {},
                                    {}, nullptr));
}

void TDialogFixture::TearDown() {
    // The manager's pipeline writes into the sender: it goes first.
    manager.Destroy();
    sender.Destroy();
}

TClientInfo TDialogFixture::Info(int ch) {
    TClientInfo info;
    EXPECT_TRUE(manager.GetConInfo(ch, info));
    return info;
}

std::vector<std::string> TDialogFixture::MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages.Messages()) {
        texts.push_back(m.text);
    }
    return texts;
}

void AnswerFileDialog(const QString& title, const QString& filter, const std::string& file,
                      std::function<void()> then) {
    WhenModalShown("QFileDialog", [=](QWidget* w) {
        auto* dialog = static_cast<QFileDialog*>(w);
        EXPECT_EQ(dialog->windowTitle(), title);
        EXPECT_EQ(dialog->nameFilters(), QStringList{filter});
        const QString wanted = QString::fromStdString(file);
        // As the operator would: the path typed into the name field (selectFile
        // leaves the field alone once it has the focus).
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        EXPECT_NE(name, nullptr);
        for (int i = 0; name && !wanted.isEmpty() && dialog->isVisible() && i < 250; ++i) {
            name->setText(wanted);
            Pump(20);
            if (dialog->selectedFiles() == QStringList{wanted}) {
                static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
            }
        }
        if (dialog->isVisible()) {
            EXPECT_TRUE(wanted.isEmpty()) << "the file dialog did not take " << file << " but "
                                          << dialog->selectedFiles().join('|').toStdString();
            dialog->reject();
        }
        if (then) {
            then();
        }
    });
}

QImage ScreenPixels(QWidget* widget, const std::string& name) {
    Pump(30);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    const QImage image =
        screen->grabWindow(0, at.x(), at.y(), widget->width(), widget->height()).toImage();
    image.save(QString::fromStdString(TestOutputDir() + "/" + name + ".png"), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

double MeanLuma(const QImage& image) {
    if (image.isNull()) {
        return 0;
    }
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            sum += 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
        }
    }
    return sum / (double(image.width()) * image.height());
}

} // namespace tavrin::test
