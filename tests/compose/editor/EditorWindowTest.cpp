// The plan editor window and its dialogs on a private X server: a plan
// designed through the dialogs, dragged on the picture, saved, reopened and
// read by the plan model and the scene runtime; the console's side through
// a fake host. Real X input (xdotool) drives the main flows once more.
#include "base/GloTimer.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "compose/CombineOut.h"
#include "compose/PlanFile.h"
#include "compose/ScreenLayout.h"
#include "compose/editor/EditorHost.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/F_Fontstyle.h"
#include "compose/editor/F_NewProject.h"
#include "compose/editor/FilePickers.h"
#include "compose/editor/PlanEditorLauncher.h"
#include "compose/editor/Snapshot.h"
#include "tests/base/TempDir.h"
#include "tests/compose/editor/EditorTestKit.h"
#include "tests/support/ScenarioSteps.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QtTest/QTest>
#include <deque>
#include <filesystem>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::Near;
using test::Rgb;
using test::WhenModalShown;

constexpr const char* kBadSave =
    "需要输入合法的rtmp推流地址\r\nrtmp推流地址需要以  rtmp://  开始，请重新输入";

class TFakeHost : public IEditorHost {
public:
    TScreenLayout* SceneRuntime() override { return runtime; }
    void UseScene(int32_t id) override {
        scenes.push_back(id);
        if (runtime != nullptr) {
            runtime->UseThisLayout(id);
        }
    }
    bool IsCaptureMode() override { return capture; }
    void UseAddress(const std::string& url) override { addresses.push_back(url); }
    // Where editors open, kept as the console keeps it.
    QRect EditorWindowRect() const override { return editorRect; }
    void SetEditorWindowRect(const QRect& r) override { editorRect = r; }

    TScreenLayout* runtime = nullptr;
    QRect editorRect;
    bool capture = false;
    std::vector<int32_t> scenes;
    std::vector<std::string> addresses;
};

// Answers the editor's file and folder pickers from queues.
class TPickerAnswers {
public:
    TPickerAnswers() {
        SetOpenFilePicker([this](QWidget*, const QString& title, const QString& filter) {
            titles.push_back(title + "|" + filter);
            QString f = files.empty() ? QString() : files.front();
            if (!files.empty()) {
                files.pop_front();
            }
            return f;
        });
        SetFolderPicker([this](QWidget*, const QString& title) {
            titles.push_back(title);
            return folder;
        });
    }
    ~TPickerAnswers() {
        SetOpenFilePicker({});
        SetFolderPicker({});
    }
    std::deque<QString> files;
    QString folder;
    std::vector<QString> titles;
};

template <typename T> T* Child(QWidget* w, const char* name) {
    T* child = w->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void Click(QWidget* w, const char* name) {
    if (auto* b = Child<QPushButton>(w, name)) {
        QTest::mouseClick(b, Qt::LeftButton);
    }
}

std::vector<QString> Names(QListWidget* list) {
    std::vector<QString> out;
    for (int i = 0; i < list->count(); ++i) {
        out.push_back(list->item(i)->text());
    }
    return out;
}

std::vector<int> Ids(QListWidget* list) {
    std::vector<int> out;
    for (int i = 0; i < list->count(); ++i) {
        out.push_back(list->item(i)->data(Qt::UserRole).toInt());
    }
    return out;
}

void SelectRow(QListWidget* list, int row) {
    list->setCurrentRow(row);
}

template <typename T> const T& Item(TInterLayout& view, int nType, int32_t id) {
    void* p = nullptr;
    EXPECT_EQ(view.getItem(nType, id, p), id);
    return *static_cast<const T*>(p);
}

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(plans.Path() + "/a");
        ASSERT_TRUE(test::WriteSolidJpeg(images.File("bg.jpg"), 1920, 1080, test::kJpegRed));
        ASSERT_TRUE(test::WriteSolidJpeg(images.File("small.jpg"), 640, 360, test::kJpegRed));
    }
    // Opens an editor on a plan file or a new plan and shows it.
    std::unique_ptr<TF_EditProject> Open(int mode, const QString& file,
                                         const QString& name = "活动一") {
        auto editor = std::make_unique<TF_EditProject>(&host);
        EXPECT_EQ(editor->initialize(mode, 1920, 7, name, file, 1080), 0);
        editor->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
        test::Pump(100);
        return editor;
    }
    // Adds the background image through its dialog.
    void AddImage(TF_EditProject& editor, const QString& name, const QString& file) {
        pickers.files.push_back(file);
        WhenModalShown("tavrin::TF_Image", [name](QWidget* d) {
            Child<QLineEdit>(d, "edName")->setText(name);
            Click(d, "btnPick");
            Click(d, "btnOK");
        });
        editor.DoNew(kItemImage);
    }
    void AddRect(TF_EditProject& editor, const QString& name) {
        WhenModalShown("tavrin::TF_Name", [name](QWidget* d) {
            Child<QLineEdit>(d, "edName")->setText(name);
            Click(d, "btnOK");
        });
        editor.DoNew(kItemRectangle);
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const auto& m : messages.Messages()) {
            out.push_back(m.text);
        }
        return out;
    }

    TMessageRecorder messages;
    TPickerAnswers pickers;
    test::TempDir plans;
    test::TempDir images;
    TFakeHost host;
};

TEST_F(EditorWindow, ChooserNamesTheNewPlanFileOrOpensTheOneInUse) {
    {
        TF_NewProject chooser("", "");
        chooser.show();
        EXPECT_EQ(Child<QLabel>(&chooser, "lbInUse")->text(), QStringLiteral("当前正在使用：无"));
        EXPECT_FALSE(Child<QPushButton>(&chooser, "btnOpenInUse")->isEnabled());
        EXPECT_EQ(Child<QLineEdit>(&chooser, "edName")->text(), QStringLiteral("未命名"));
        Click(&chooser, "btnOK");
        EXPECT_FALSE(chooser.bOK);
        EXPECT_EQ(Texts(), std::vector<std::string>{"需要选择活动方案工作路径"});

        pickers.folder = QString::fromStdString(plans.Path());
        Click(&chooser, "btnDir");
        EXPECT_EQ(pickers.titles.back(), QStringLiteral("请选择活动保存的路径"));
        EXPECT_EQ(Child<QLabel>(&chooser, "lbDir")->text(), pickers.folder);
        Child<QLineEdit>(&chooser, "edName")->setText(QStringLiteral("活动一"));
        test::SaveScreenshot(&chooser, "chooser");
        Click(&chooser, "btnOK");
        EXPECT_TRUE(chooser.bOK);
        EXPECT_EQ(chooser.nMode, kPlanNew);
        EXPECT_EQ(chooser.filename, pickers.folder + QStringLiteral("/活动一.kvx"));
        EXPECT_EQ(chooser.projectname, QStringLiteral("活动一"));
    }
    {
        TF_NewProject chooser("课堂", "/plans/k.kvx");
        EXPECT_EQ(Child<QLabel>(&chooser, "lbInUse")->text(), QStringLiteral("当前正在使用：课堂"));
        Click(&chooser, "btnOpenInUse");
        EXPECT_TRUE(chooser.bOK);
        EXPECT_EQ(chooser.nMode, kPlanOpen);
        EXPECT_EQ(chooser.filename, QStringLiteral("/plans/k.kvx"));
    }
    {
        TF_NewProject chooser("", "");
        pickers.files.push_back("/x/y.kvx");
        Click(&chooser, "btnOpenFile");
        EXPECT_EQ(pickers.titles.back(), QStringLiteral("|kvx (*.kvx)"));
        EXPECT_EQ(chooser.nMode, kPlanOpen);
        EXPECT_EQ(chooser.filename, QStringLiteral("/x/y.kvx"));
    }
}

TEST_F(EditorWindow, PlanIsDesignedSavedAndReadBackEverywhere) {
    test::TScenarioSteps steps;
    TAVRIN_STEP(steps, "a new plan opens unwritten");
    const QString file = QString::fromStdString(plans.File("活动一.kvx"));
    auto editor = Open(kPlanNew, file);
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("活动编辑"));
    EXPECT_FALSE(fs::exists(file.toStdString())) << "nothing is written before saving";

    TAVRIN_STEP(steps, "images need a name and a fitting file");
    // A scene needs a background first; an image needs a name and a file.
    editor->DoNew(kItemLayout);
    AddImage(*editor, "", QString::fromStdString(images.File("bg.jpg")));
    AddImage(*editor, "小图", QString::fromStdString(images.File("small.jpg")));
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "当前活动尚未加载底图，至少需要加载一张", "需要选择JEPG图片及命名",
                           "此图片分辨率不适合，需要 1920x1080 分辨率", "需要选择JEPG图片及命名"}));
    EXPECT_EQ(pickers.titles.back(),
              QStringLiteral("选择图片作为视频源|JPEG Image File (*.jpg *.jpeg)"));
    AddImage(*editor, "底图一", QString::fromStdString(images.File("bg.jpg")));
    EXPECT_TRUE(fs::exists(plans.File("bg.jpg"))) << "copied beside the plan";
    EXPECT_EQ(Names(editor->List(kItemImage)), std::vector<QString>{"底图一"});

    TAVRIN_STEP(steps, "rectangles and a text style");
    // Two rectangles (an empty name is refused) and a red 64 style.
    AddRect(*editor, "");
    AddRect(*editor, "框一");
    AddRect(*editor, "框二");
    EXPECT_EQ(Texts().back(), "需要输入视频框名");
    EXPECT_EQ(Ids(editor->List(kItemRectangle)), (std::vector<int>{1, 2}));
    WhenModalShown("tavrin::TF_Fontstyle", [](QWidget* d) {
        EXPECT_EQ(Child<QLineEdit>(d, "edText")->text(), QStringLiteral("未命名文本"));
        Child<QLineEdit>(d, "edText")->setText(QStringLiteral("第一组"));
        auto* size = Child<QComboBox>(d, "cbSize");
        size->setCurrentIndex(size->findData(64));
        Click(d, "swatch3");
        test::SaveScreenshot(d, "fontstyle");
        Click(d, "btnOK");
    });
    editor->DoNew(kItemFontStyle);
    const rFontStyle& style = Item<rFontStyle>(editor->View(), kItemFontStyle, 1);
    EXPECT_EQ(style.name, "第一组");
    EXPECT_EQ(style.size, 64);
    EXPECT_EQ(style.color, 0x0000FF) << "red in the plans' colour layout";
    EXPECT_EQ(style.font, "思源宋体 CN SemiBold");
    EXPECT_EQ(style.x, 300);

    TAVRIN_STEP(steps, "two scenes");
    // A scene with both rectangles and two texts of the style.
    WhenModalShown("tavrin::TF_Layout", [](QWidget* d) {
        EXPECT_EQ(Child<QLineEdit>(d, "edName")->text(), QStringLiteral("未命名场景"));
        Child<QLineEdit>(d, "edName")->setText(QStringLiteral("场景一"));
        auto* rects = Child<QListWidget>(d, "lvRect");
        rects->item(0)->setCheckState(Qt::Checked);
        rects->item(1)->setCheckState(Qt::Checked);
        Click(d, "btnAddText");
        Click(d, "btnAddText");
        EXPECT_EQ(Ids(Child<QListWidget>(d, "lvText")), (std::vector<int>{1, 2}));
        test::SaveScreenshot(d, "scene-dialog");
        Click(d, "btnOK");
    });
    editor->DoNew(kItemLayout);
    WhenModalShown("tavrin::TF_Layout", [](QWidget* d) {
        Child<QLineEdit>(d, "edName")->setText(QStringLiteral("场景二"));
        Child<QListWidget>(d, "lvRect")->item(0)->setCheckState(Qt::Checked);
        Click(d, "btnOK");
    });
    editor->DoNew(kItemLayout);
    const rLayout& first = Item<rLayout>(editor->View(), kItemLayout, 1);
    EXPECT_EQ(first.rectangle, (std::vector<int32_t>{1, 2}));
    ASSERT_EQ(first.text.size(), 2u);
    EXPECT_EQ(first.text[1].id, 2);
    EXPECT_EQ(first.text[1].name, "第一组");
    EXPECT_EQ(first.text[1].x, 300);
    EXPECT_EQ(Names(editor->List(kItemLayout)), (std::vector<QString>{"场景一", "场景二"}));

    TAVRIN_STEP(steps, "rectangle dragged on the picture");
    // Rectangle 1 dragged by its body on the picture.
    editor->ShowItem(kItemRectangle, 1);
    QWidget* picture = editor->Picture();
    const TDispMap map = editor->View().Map();
    const QPoint from(map.ToDispX(260), map.ToDispY(190));
    const QPoint to = from + QPoint(150, 90);
    int fx = 0, fy = 0, tx = 0, ty = 0;
    ASSERT_TRUE(map.ToCanvas(from.x(), from.y(), fx, fy));
    ASSERT_TRUE(map.ToCanvas(to.x(), to.y(), tx, ty));
    QTest::mousePress(picture, Qt::LeftButton, {}, from);
    QTest::mouseMove(picture, from + QPoint(40, 30));
    QTest::mouseMove(picture, to);
    QTest::mouseRelease(picture, Qt::LeftButton, {}, to);
    const rRect moved = Item<rRectangle>(editor->View(), kItemRectangle, 1).rect;
    EXPECT_EQ(moved.left, 100 + tx - fx);
    EXPECT_EQ(moved.top, 100 + ty - fy);
    EXPECT_EQ(moved.width, 320);

    TAVRIN_STEP(steps, "aspect buttons");
    // Aspect buttons on the selected rectangle.
    editor->SetAspect(16, 9);
    EXPECT_EQ(Item<rRectangle>(editor->View(), kItemRectangle, 1).rect.height, 180);

    TAVRIN_STEP(steps, "scenes swapped");
    // Swapping the first scene with the second keeps the ids in place.
    SelectRow(editor->List(kItemLayout), 0);
    editor->DoSwap(kItemLayout);
    EXPECT_EQ(Names(editor->List(kItemLayout)), (std::vector<QString>{"场景二", "场景一"}));
    EXPECT_EQ(Ids(editor->List(kItemLayout)), (std::vector<int>{1, 2}));
    EXPECT_EQ(editor->SelectedId(kItemLayout), 2);

    TAVRIN_STEP(steps, "rectangle deleted");
    // Deleting rectangle 1 leaves 场景一 drawing rectangle 2 only.
    SelectRow(editor->List(kItemRectangle), 0);
    editor->DoDelete(kItemRectangle);
    EXPECT_EQ(Ids(editor->List(kItemRectangle)), std::vector<int>{2});
    editor->ShowItem(kItemLayout, 2);
    test::Pump(50);
    test::SaveScreen("editor-scene");
    const std::string shot = editor->Snapshot(1280, 720);
    ASSERT_FALSE(shot.empty());
    test::TJpeg jpeg;
    ASSERT_TRUE(test::ReadJpeg(shot, jpeg));
    EXPECT_EQ(jpeg.w, 1280);
    EXPECT_GT(jpeg.At(66, 126).g, 150) << "rectangle 2's left edge";
    const int oldX = moved.left * 1280 / 1920;
    EXPECT_LT(jpeg.At(oldX, (moved.top + 90) * 720 / 1080).g, 100) << "rectangle 1 is gone";

    TAVRIN_STEP(steps, "saving");
    // Saving needs a name and an rtmp:// address.
    auto* name = Child<QLineEdit>(editor.get(), "edName");
    auto* rtmp = Child<QLineEdit>(editor.get(), "edRtmp");
    EXPECT_EQ(name->text(), QStringLiteral("活动一"));
    EXPECT_FALSE(editor->Save());
    rtmp->setText("http://127.0.0.1/live/a");
    EXPECT_FALSE(editor->Save());
    name->clear();
    rtmp->setText("RTMP://127.0.0.1/live/a");
    EXPECT_FALSE(editor->Save());
    const auto shown = Texts();
    EXPECT_EQ(std::vector<std::string>(shown.end() - 3, shown.end()),
              (std::vector<std::string>{kBadSave, kBadSave, "需要输入活动名称"}));
    name->setText(QStringLiteral("活动一"));
    ASSERT_TRUE(editor->Save());
    EXPECT_FALSE(editor->View().getIfNeedSave());
    ASSERT_TRUE(fs::exists(file.toStdString()));
    const std::string json = test::ReadFile(file.toStdString());
    EXPECT_EQ(json.find(images.Path()), std::string::npos) << "only the file name is stored";
    EXPECT_NE(json.find("\"filename\":\"bg.jpg\""), std::string::npos);

    TAVRIN_STEP(steps, "the plan model reads the file");
    // The plan model reads the file back unchanged ...
    fs::remove(images.File("bg.jpg"));
    TLayoutProject model;
    ASSERT_EQ(model.loadProject(file.toStdString()), 0);
    TLayoutProject& mine = editor->View().Project();
    ASSERT_EQ(model.Images().size(), 1u);
    EXPECT_TRUE(model.Images()[0].pImage) << "found beside the plan";
    EXPECT_EQ(model.Images()[0].filename, plans.File("bg.jpg"));
    ASSERT_EQ(model.Rectangles().size(), 1u);
    EXPECT_EQ(model.Rectangles()[0].rect.left, mine.Rectangles()[0].rect.left);
    ASSERT_EQ(model.Layouts().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(model.Layouts()[i].id, mine.Layouts()[i].id);
        EXPECT_EQ(model.Layouts()[i].name, mine.Layouts()[i].name);
        EXPECT_EQ(model.Layouts()[i].rectangle, mine.Layouts()[i].rectangle);
        EXPECT_EQ(model.Layouts()[i].text.size(), mine.Layouts()[i].text.size());
    }
    EXPECT_EQ(model.Layouts()[1].rectangle, std::vector<int32_t>{2}) << "reference dropped";
    rProjectHead head;
    model.getHeadInfo(head);
    EXPECT_EQ(head.rtmp, "RTMP://127.0.0.1/live/a");
    EXPECT_EQ(head.name, "活动一");

    TAVRIN_STEP(steps, "the scene runtime reads the file");
    // ... and so does the scene runtime.
    TScreenLayout runtime;
    ASSERT_TRUE(runtime.initialize(1920, 1080));
    ASSERT_EQ(runtime.loadProject(file.toStdString()), 0);
    int32_t checked = 0;
    const TScreenLayout::rLayout* const* list = nullptr;
    ASSERT_EQ(runtime.GetListForThisRectCount(0, checked, list), 2);
    EXPECT_EQ(list[0]->name, "场景二");
    EXPECT_EQ(list[1]->name, "场景一");
    EXPECT_EQ(list[1]->textCount, 2);

    TAVRIN_STEP(steps, "reopened and closed");
    // Reopened, the editor finds everything; closing with unsaved changes
    // asks first.
    editor.reset();
    auto again = Open(kPlanOpen, file);
    EXPECT_EQ(Names(again->List(kItemImage)), std::vector<QString>{"底图一"});
    EXPECT_EQ(again->SelectedId(kItemLayout), 1) << "the first scene is shown";
    EXPECT_EQ(again->View().CurrentItem().nType, kItemLayout);
    again->View().setSaveState();
    QRect closedAt;
    QObject::connect(again.get(), &TF_EditProject::closed, [&closedAt](QRect r) { closedAt = r; });
    messages.QueueAnswer(TMsgAnswer::No);
    EXPECT_TRUE(again->close());
    EXPECT_EQ(Texts().back(), "您需要保存本次对此活动内容的更改么？");
    EXPECT_TRUE(closedAt.isValid());
}

// Files that are no plan the editor wrote are refused with the same message
// as a missing file, and the editor shows nothing of them.
TEST_F(EditorWindow, PlanFilesThatAreNoPlanAreRefused) {
    const std::vector<std::string> bad = {
        "{not json", "[1,2,3]", R"({"userid":1,"name":"x","createtime":"c","rtmp":""})",
        R"({"userid":1,"name":"x","createtime":"c","lastrefreshtime":"l","rtmp":"",)"
        R"("sence":[{"id":1,"name":"s","image":1,"rectangle":[]}]})"};
    for (size_t i = 0; i < bad.size(); ++i) {
        const std::string file = plans.File("bad" + std::to_string(i) + ".kvx");
        test::WriteFile(file, bad[i]);
        auto editor = std::make_unique<TF_EditProject>(&host);
        EXPECT_EQ(editor->initialize(kPlanOpen, 1920, 7, "", QString::fromStdString(file), 1080),
                  -1)
            << bad[i];
        EXPECT_EQ(Texts().back(), "打开项目文件失败\n" + file) << bad[i];
        EXPECT_EQ(editor->List(kItemLayout)->count(), 0) << bad[i];
    }
}

TEST_F(EditorWindow, FailuresOfTheListsAreReported) {
    auto broken = std::make_unique<TF_EditProject>(&host);
    EXPECT_EQ(broken->initialize(kPlanOpen, 1920, 7, "", "/no/such.kvx", 1080), -1);
    EXPECT_EQ(Texts().back(), "打开项目文件失败\n/no/such.kvx");

    auto editor = Open(kPlanNew, QString::fromStdString(plans.File("b.kvx")), "b");
    AddImage(*editor, "底图", QString::fromStdString(images.File("bg.jpg")));
    AddRect(*editor, "框");
    // A scene without a name is refused in the dialog, one without a
    // background after it.
    WhenModalShown("tavrin::TF_Layout", [](QWidget* d) {
        Child<QLineEdit>(d, "edName")->clear();
        Click(d, "btnOK");
        EXPECT_TRUE(d->isVisible());
        Child<QLineEdit>(d, "edName")->setText("s");
        Child<QListWidget>(d, "lvImage")->clearSelection();
        Click(d, "btnOK");
    });
    editor->DoNew(kItemLayout);
    EXPECT_EQ(editor->List(kItemLayout)->count(), 0);
    // Where the refused dialog stood, the picture shows itself again (the
    // red background behind the rectangle), not what the dialog left there.
    QWidget* picture = editor->Picture();
    ASSERT_TRUE(test::WaitUntil([&] {
        const QPoint at = picture->mapToGlobal(QPoint(picture->width() / 4, picture->height() / 2));
        const QColor c = QGuiApplication::primaryScreen()
                             ->grabWindow(0, at.x(), at.y(), 1, 1)
                             .toImage()
                             .pixelColor(0, 0);
        return c.red() > 150 && c.green() < 80 && c.blue() < 80;
    }));
    // 4:3 on a rectangle low on the canvas would leave it.
    editor->View().Project();
    SelectRow(editor->List(kItemRectangle), 0);
    void* p = nullptr;
    editor->View().getItem(kItemRectangle, 1, p);
    static_cast<rRectangle*>(p)->rect = {0, 200, 1280, 300};
    editor->SetAspect(4, 3);
    EXPECT_EQ(static_cast<rRectangle*>(p)->rect.height, 300);
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"打开项目文件失败\n/no/such.kvx", "需要输入场景名",
                                        "需要选择一个底图", "按此比例设定后高会越界，此操作无效"}));
    // The help opens through the desktop.
    test::TShellOpenRecorder opened;
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(2);
    Click(editor.get(), "btnReadme");
    EXPECT_EQ(opened.Opened(), std::vector<std::string>{ProgramFile("layout_readme.txt")});
    EXPECT_TRUE(fs::exists(ProgramFile("layout_readme.txt")));
    test::SaveScreen("editor-info-page");
    // A close whose save is refused keeps the window and its changes.
    messages.QueueAnswer(TMsgAnswer::Yes);
    EXPECT_FALSE(editor->close());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(Texts().back(), kBadSave);
}

TEST_F(EditorWindow, StyleDialogDrawsItsSampleInThePlanFont) {
    TF_Fontstyle dialog("样本", 200, RgbToPlanColor(0x0000FF));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("文本样式"));
    auto* size = Child<QComboBox>(&dialog, "cbSize");
    EXPECT_EQ(size->count(), 85);
    EXPECT_EQ(size->itemText(0), "16");
    EXPECT_EQ(size->currentText(), "48") << "an unknown size leaves 48";
    EXPECT_EQ(dialog.ColorRef(), 0xFF0000) << "blue in the plans' layout";
    EXPECT_TRUE(Child<QPushButton>(&dialog, "swatch5")->isChecked());
    Click(&dialog, "swatch4");
    EXPECT_EQ(dialog.ColorRef(), RgbToPlanColor(0x008000));
    const QString family = RegisterPlanFont();
    EXPECT_FALSE(family.isEmpty());
    QFont font(family);
    EXPECT_EQ(QFontInfo(font).family(), family);
    test::Pump(50);
    const QImage image = dialog.grab().toImage();
    test::SaveScreenshot(&dialog, "fontstyle-sample");
    EXPECT_EQ(image.pixelColor(1, TF_Fontstyle::kBandTop + 2), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_NE(image.pixelColor(1, TF_Fontstyle::kBandTop - 2), QColor(0xC0, 0xC0, 0xC0));
    int green = 0;
    for (int y = TF_Fontstyle::kBandTop; y < image.height(); ++y) {
        for (int x = 0; x < 200; ++x) {
            const QColor c = image.pixelColor(x, y);
            green += c.green() > 100 && c.red() < 60 && c.blue() < 60 ? 1 : 0;
        }
    }
    EXPECT_GT(green, 100) << "the sample in green on the band";
}

TEST_F(EditorWindow, SceneTextsAreDraggedAndRenamedOnThePicture) {
    auto editor = Open(kPlanNew, QString::fromStdString(plans.File("t.kvx")), "t");
    AddImage(*editor, "底图", QString::fromStdString(images.File("bg.jpg")));
    WhenModalShown("tavrin::TF_Fontstyle", [](QWidget* d) { Click(d, "btnOK"); });
    editor->DoNew(kItemFontStyle);
    WhenModalShown("tavrin::TF_Layout", [](QWidget* d) {
        Click(d, "btnAddText");
        // The new text renamed inside the dialog.
        auto* texts = Child<QListWidget>(d, "lvText");
        texts->setCurrentRow(0);
        WhenModalShown("tavrin::TF_Name", [](QWidget* n) {
            Child<QLineEdit>(n, "edName")->setText(QStringLiteral("标题"));
            Click(n, "btnOK");
        });
        Click(d, "btnRenameText");
        EXPECT_EQ(texts->item(0)->text(), QStringLiteral("标题"));
        Click(d, "btnOK");
    });
    editor->DoNew(kItemLayout);
    const rText& text = Item<rLayout>(editor->View(), kItemLayout, 1).text.at(0);
    EXPECT_EQ(text.name, "标题");
    EXPECT_EQ(text.x, 300);

    // Taken on the picture and dragged: it moves by the drag in canvas pixels.
    QWidget* picture = editor->Picture();
    const TDispMap map = editor->View().Map();
    const QPoint from(map.ToDispX(310), map.ToDispY(310));
    const QPoint to = from + QPoint(100, 50);
    int fx = 0, fy = 0, tx = 0, ty = 0;
    ASSERT_TRUE(map.ToCanvas(from.x(), from.y(), fx, fy));
    ASSERT_TRUE(map.ToCanvas(to.x(), to.y(), tx, ty));
    QTest::mousePress(picture, Qt::LeftButton, {}, from);
    QTest::mouseMove(picture, to);
    QTest::mouseRelease(picture, Qt::LeftButton, {}, to);
    EXPECT_EQ(text.x, 300 + tx - fx);
    EXPECT_EQ(text.y, 300 + ty - fy);
    EXPECT_EQ(editor->View().ChosenText(), 1);

    // A double click renames the selected text; an empty name is refused.
    WhenModalShown("tavrin::TF_Name", [](QWidget* n) {
        Child<QLineEdit>(n, "edName")->clear();
        Click(n, "btnOK");
    });
    QTest::mouseDClick(picture, Qt::LeftButton, {}, to);
    EXPECT_EQ(Texts().back(), "需要输入文本名");
    WhenModalShown("tavrin::TF_Name", [](QWidget* n) {
        Child<QLineEdit>(n, "edName")->setText(QStringLiteral("第二行"));
        Click(n, "btnOK");
    });
    QTest::mouseDClick(picture, Qt::LeftButton, {}, to);
    EXPECT_EQ(text.name, "第二行");
    EXPECT_TRUE(editor->View().getIfNeedSave());
}

TEST_F(EditorWindow, LauncherKeepsOneEditorWhereTheLastWasClosed) {
    QWidget mainWindow;
    host.editorRect = QRect(100, 120, 1278, 581);
    TPlanEditorLauncher launcher(host, &mainWindow);
    pickers.folder = QString::fromStdString(plans.Path());
    const auto chooseNew = [](const char* name) {
        WhenModalShown("tavrin::TF_NewProject", [name](QWidget* d) {
            Click(d, "btnDir");
            Child<QLineEdit>(d, "edName")->setText(QString::fromUtf8(name));
            Click(d, "btnOK");
        });
    };
    chooseNew("甲");
    QPointer<TF_EditProject> first = launcher.Open(7);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    // The first opens where the console says.
    EXPECT_EQ(first->geometry(), QRect(100, 120, 1278, 581));
    EXPECT_EQ(first->PlanFile(), QString::fromStdString(plans.File("甲.kvx")));
    first->setGeometry(60, 50, 1000, 600);
    test::Pump(50);
    const QRect at = first->geometry();
    // A new plan is unsaved until its first save: closing asks.
    messages.QueueAnswer(TMsgAnswer::No);
    ASSERT_TRUE(first->close());
    EXPECT_EQ(Texts(), std::vector<std::string>{"您需要保存本次对此活动内容的更改么？"});
    test::Pump(50);
    EXPECT_FALSE(first) << "freed when closed";

    chooseNew("乙");
    QPointer<TF_EditProject> second = launcher.Open(7);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->geometry(), at);
    // Another plan frees the open editor.
    WhenModalShown("tavrin::TF_NewProject", [](QWidget* d) { d->close(); });
    EXPECT_EQ(launcher.Open(7), nullptr) << "chooser cancelled";
    EXPECT_TRUE(second);
    // Its unsaved changes are asked about first; a refused save keeps it.
    messages.QueueAnswer(TMsgAnswer::Yes);
    chooseNew("丙");
    EXPECT_EQ(launcher.Open(7), nullptr);
    EXPECT_TRUE(second);
    EXPECT_EQ(Texts().back(), kBadSave);
    messages.QueueAnswer(TMsgAnswer::No);
    chooseNew("丙");
    QPointer<TF_EditProject> third = launcher.Open(7);
    test::Pump(50);
    EXPECT_FALSE(second);
    EXPECT_EQ(launcher.Editor(), third.data());
}

// Right-clicks at a point and, once the menu is up (it runs its own loop),
// clicks its entry with the caption given, or leaves it with Escape when
// there is none. The menu's captions, in order.
std::vector<QString> ChooseFromMenu(test::TXdo& xdo, QPoint at, const QString& caption) {
    std::vector<QString> captions;
    bool answered = false;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            if (waited.elapsed() > 20000) {
                poll.stop();
            }
            return;
        }
        poll.stop();
        const QAction* target = nullptr;
        for (const QAction* a : menu->actions()) {
            captions.push_back(a->text());
            target = a->text() == caption ? a : target;
        }
        answered = target != nullptr
                       ? xdo.MoveTo(menu->mapToGlobal(
                             menu->actionGeometry(const_cast<QAction*>(target)).center())) &&
                             xdo.Run({"click", "1"})
                       : xdo.Key("Escape");
    });
    poll.start(20);
    EXPECT_TRUE(xdo.MoveTo(at));
    EXPECT_TRUE(xdo.Run({"click", "3"}));
    EXPECT_TRUE(test::WaitUntil([&] { return answered; }, 30000)) << caption.toStdString();
    test::WaitUntil([] { return QApplication::activePopupWidget() == nullptr; });
    return captions;
}

QPoint EntryAt(QListWidget* list, int row) {
    return list->viewport()->mapToGlobal(list->visualItemRect(list->item(row)).center());
}

TEST_F(EditorWindow, ItemsAreModifiedThroughTheirDialogsAndTheListMenus) {
    test::TScenarioSteps steps;
    TAVRIN_STEP(steps, "editor with a plan to modify");
    auto editor = Open(kPlanNew, QString::fromStdString(plans.File("m.kvx")), "m");
    ASSERT_TRUE(test::WriteSolidJpeg(images.File("green.jpg"), 1920, 1080, {30, 180, 30}));
    AddImage(*editor, "底图", QString::fromStdString(images.File("bg.jpg")));
    AddRect(*editor, "框一");
    AddRect(*editor, "框二");
    WhenModalShown("tavrin::TF_Fontstyle", [](QWidget* d) { Click(d, "btnOK"); });
    editor->DoNew(kItemFontStyle);
    WhenModalShown("tavrin::TF_Layout", [](QWidget* d) {
        Child<QListWidget>(d, "lvRect")->item(0)->setCheckState(Qt::Checked);
        Click(d, "btnAddText");
        Click(d, "btnAddText");
        Click(d, "btnOK");
    });
    editor->DoNew(kItemLayout);
    const size_t shownBefore = messages.Messages().size();

    TAVRIN_STEP(steps, "image modified");
    // The image: prefilled; a new file from elsewhere is copied and decoded.
    SelectRow(editor->List(kItemImage), 0);
    pickers.files.push_back(QString::fromStdString(images.File("green.jpg")));
    WhenModalShown("tavrin::TF_Image", [this](QWidget* d) {
        EXPECT_EQ(Child<QLineEdit>(d, "edName")->text(), QStringLiteral("底图"));
        // The picked file, as long as the editor runs.
        EXPECT_EQ(Child<QLineEdit>(d, "edFile")->text().toStdString(), images.File("bg.jpg"));
        Child<QLineEdit>(d, "edName")->setText(QStringLiteral("绿底"));
        Click(d, "btnPick");
        Click(d, "btnOK");
    });
    editor->DoModify(kItemImage);
    const rImage& image = Item<rImage>(editor->View(), kItemImage, 1);
    EXPECT_EQ(image.name, "绿底");
    EXPECT_EQ(image.filename, images.File("green.jpg"));
    EXPECT_TRUE(fs::exists(plans.File("green.jpg"))) << "copied beside the plan";
    ASSERT_TRUE(image.pImage);
    EXPECT_GT(image.pImage->at(50 * 1920 + 50), 100) << "the green picture's light luma";
    EXPECT_EQ(Names(editor->List(kItemImage)), std::vector<QString>{"绿底"});

    TAVRIN_STEP(steps, "rectangle renamed");
    // The second rectangle renamed; an empty name is refused.
    SelectRow(editor->List(kItemRectangle), 1);
    for (const char* name : {"", "框三"}) {
        WhenModalShown("tavrin::TF_Name", [name](QWidget* d) {
            EXPECT_EQ(Child<QLineEdit>(d, "edName")->text(), QStringLiteral("框二"));
            Child<QLineEdit>(d, "edName")->setText(QString::fromUtf8(name));
            Click(d, "btnOK");
        });
        editor->DoModify(kItemRectangle);
    }
    EXPECT_EQ(Texts().at(shownBefore), "需要输入视频框名");
    EXPECT_EQ(Names(editor->List(kItemRectangle)), (std::vector<QString>{"框一", "框三"}));

    TAVRIN_STEP(steps, "text style modified");
    // The style: text, size and colour replaced, its place kept.
    void* p = nullptr;
    ASSERT_EQ(editor->View().getItem(kItemFontStyle, 1, p), 1);
    auto* style = static_cast<rFontStyle*>(p);
    style->x = 500;
    style->y = 600;
    style->font = "other";
    SelectRow(editor->List(kItemFontStyle), 0);
    WhenModalShown("tavrin::TF_Fontstyle", [](QWidget* d) {
        EXPECT_EQ(Child<QLineEdit>(d, "edText")->text(), QStringLiteral("未命名文本"));
        auto* size = Child<QComboBox>(d, "cbSize");
        EXPECT_EQ(size->currentText(), "48");
        Child<QLineEdit>(d, "edText")->setText(QStringLiteral("标题样式"));
        size->setCurrentIndex(size->findData(72));
        Click(d, "swatch6");
        Click(d, "btnOK");
    });
    editor->DoModify(kItemFontStyle);
    EXPECT_EQ(style->name, "标题样式");
    EXPECT_EQ(style->size, 72);
    EXPECT_EQ(style->color, RgbToPlanColor(0x008080));
    EXPECT_EQ(style->font, "思源宋体 CN SemiBold");
    EXPECT_EQ(style->x, 500);
    EXPECT_EQ(style->y, 600);

    TAVRIN_STEP(steps, "scene modified");
    // The scene: its members checked, its texts listed; text 1 unchecked,
    // text 2 renamed, a third added at the style's place, 框三 joined.
    SelectRow(editor->List(kItemLayout), 0);
    WhenModalShown("tavrin::TF_Layout", [](QWidget* d) {
        auto* rects = Child<QListWidget>(d, "lvRect");
        EXPECT_EQ(rects->item(0)->checkState(), Qt::Checked);
        EXPECT_EQ(rects->item(1)->checkState(), Qt::Unchecked);
        rects->item(1)->setCheckState(Qt::Checked);
        auto* texts = Child<QListWidget>(d, "lvText");
        ASSERT_EQ(Ids(texts), (std::vector<int>{1, 2}));
        EXPECT_EQ(texts->item(0)->checkState(), Qt::Checked);
        texts->item(0)->setCheckState(Qt::Unchecked);
        texts->setCurrentRow(1);
        WhenModalShown("tavrin::TF_Name", [](QWidget* n) {
            Child<QLineEdit>(n, "edName")->setText(QStringLiteral("第二行"));
            Click(n, "btnOK");
        });
        Click(d, "btnRenameText");
        Click(d, "btnAddText");
        EXPECT_EQ(Ids(texts), (std::vector<int>{1, 2, 3}));
        Click(d, "btnOK");
    });
    editor->DoModify(kItemLayout);
    const rLayout scene = Item<rLayout>(editor->View(), kItemLayout, 1);
    EXPECT_EQ(scene.rectangle, (std::vector<int32_t>{1, 2}));
    ASSERT_EQ(scene.text.size(), 2u);
    EXPECT_EQ(scene.text[0].id, 2);
    EXPECT_EQ(scene.text[0].name, "第二行");
    EXPECT_EQ(scene.text[0].x, 300) << "a kept text keeps its place";
    EXPECT_EQ(scene.text[1].id, 3);
    EXPECT_EQ(scene.text[1].name, "标题样式");
    EXPECT_EQ(scene.text[1].x, 500);
    EXPECT_EQ(scene.text[1].y, 600);
    EXPECT_TRUE(editor->View().getIfNeedSave());

    TAVRIN_STEP(steps, "scene list menu");
    // The list menus, through the X server: the scene list's has the two
    // scene entries, and "复制场景" appends a selected copy.
    test::TXdo xdo;
    QListWidget* scenes = editor->List(kItemLayout);
    const std::vector<QString> sceneMenu =
        ChooseFromMenu(xdo, EntryAt(scenes, 0), QStringLiteral("复制场景"));
    EXPECT_EQ(sceneMenu, (std::vector<QString>{"新建", "修改", "删除", "上下交换", "保存更改",
                                               "复制场景", "使用此场景"}));
    ASSERT_TRUE(test::WaitUntil([&] { return scenes->count() == 2; }));
    EXPECT_EQ(Ids(scenes), (std::vector<int>{1, 2}));
    EXPECT_EQ(editor->SelectedId(kItemLayout), 2);
    const rLayout copy = Item<rLayout>(editor->View(), kItemLayout, 2);
    EXPECT_EQ(copy.rectangle, scene.rectangle);
    EXPECT_EQ(copy.text.size(), 2u);
    EXPECT_EQ(editor->View().CurrentItem().id, 2) << "the copy is shown";

    TAVRIN_STEP(steps, "rectangle list menu");
    // The rectangle list's menu acts on the rectangle list.
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(1);
    editor->findChild<QTabWidget*>("resTabs")->setCurrentIndex(1);
    test::Pump(100);
    QListWidget* rects = editor->List(kItemRectangle);
    const std::vector<QString> rectMenu =
        ChooseFromMenu(xdo, EntryAt(rects, 0), QStringLiteral("删除"));
    EXPECT_EQ(rectMenu, (std::vector<QString>{"新建", "修改", "删除", "上下交换", "保存更改"}));
    ASSERT_TRUE(test::WaitUntil([&] { return rects->count() == 1; }));
    EXPECT_EQ(Ids(rects), std::vector<int>{2});
    EXPECT_EQ(scenes->count(), 2);
    test::SaveScreen("editor-modified");
}

// The console in capture mode: a headless output pipeline behind the scene
// runtime, as the main window holds it.
class EditorLive : public EditorWindow {
protected:
    void SetUp() override {
        EditorWindow::SetUp();
        ASSERT_TRUE(runtime.initialize(1920, 1080));
        out.initialize(nullptr, 0, 1920, 1080, 2000 * 1024, {0, 0, 0, 0}, nullptr);
        runtime.SetOutput(&out);
        host.runtime = &runtime;
        ASSERT_TRUE(test::WriteSolidJpeg(images.File("green.jpg"), 1920, 1080, {30, 180, 30}));
    }
    uint8_t ProgrammeLuma() {
        for (int i = 0; i < 3; ++i) {
            out.Tick(now += 40);
        }
        const AVFrame* f = out.ProgrammeFrame();
        return f->data[0][50 * f->linesize[0] + 50];
    }
    uint8_t PictureLuma(TF_EditProject& editor, int32_t imageId) {
        return Item<rImage>(editor.View(), kItemImage, imageId).pImage->at(50 * 1920 + 50);
    }

    TTestClock clock{1000};
    uint32_t now = 1000;
    TScreenLayout runtime;
    TCombineOut out;
};

TEST_F(EditorLive, ScenesAndTheAddressGoLive) {
    const QString file = QString::fromStdString(plans.File("live.kvx"));
    auto editor = Open(kPlanNew, file, "live");
    AddImage(*editor, "红", QString::fromStdString(images.File("bg.jpg")));
    AddImage(*editor, "绿", QString::fromStdString(images.File("green.jpg")));
    for (const char* name : {"红场景", "绿场景"}) {
        WhenModalShown("tavrin::TF_Layout", [name](QWidget* d) {
            Child<QLineEdit>(d, "edName")->setText(QString::fromUtf8(name));
            auto* images = Child<QListWidget>(d, "lvImage");
            images->setCurrentRow(QString::fromUtf8(name) == "红场景" ? 0 : 1);
            Click(d, "btnOK");
        });
        editor->DoNew(kItemLayout);
    }
    Child<QLineEdit>(editor.get(), "edRtmp")->setText("rtmp://127.0.0.1/live/t");

    // Using the second scene saves the plan, loads it into the runtime and
    // puts the green background on the programme.
    SelectRow(editor->List(kItemLayout), 1);
    editor->UseScene();
    EXPECT_TRUE(fs::exists(file.toStdString()));
    const TScreenLayout::rProjectHead* head = nullptr;
    runtime.GetInfo(head);
    EXPECT_EQ(head->filename, file.toStdString());
    EXPECT_EQ(host.scenes, std::vector<int32_t>{2});
    const uint8_t green = PictureLuma(*editor, 2);
    EXPECT_NEAR(ProgrammeLuma(), green, 2);

    // Swapped and used again: the runtime reads the saved plan anew, so its
    // first scene is now the green one.
    SelectRow(editor->List(kItemLayout), 1);
    editor->DoSwap(kItemLayout);
    SelectRow(editor->List(kItemLayout), 1);
    editor->UseScene();
    EXPECT_EQ(host.scenes.back(), 2);
    EXPECT_NEAR(ProgrammeLuma(), PictureLuma(*editor, 1), 2) << "the red scene, now second";
    int32_t checked = 0;
    const TScreenLayout::rLayout* const* list = nullptr;
    ASSERT_EQ(runtime.GetListForThisRectCount(0, checked, list), 2);
    EXPECT_EQ(list[0]->name, "绿场景");

    // A scene id that is not its position: the runtime still gets the
    // scene's place in the list.
    SelectRow(editor->List(kItemLayout), 0);
    editor->DoDelete(kItemLayout); // ids left: 2
    SelectRow(editor->List(kItemLayout), 0);
    editor->UseScene();
    EXPECT_EQ(host.scenes.back(), 1);
    EXPECT_NEAR(ProgrammeLuma(), PictureLuma(*editor, 1), 2);

    // The live address.
    host.capture = false;
    editor->UseAddress();
    EXPECT_EQ(Texts().back(), "请在录课模式下使用");
    host.capture = true;
    Child<QLineEdit>(editor.get(), "edRtmp")->setText("http://127.0.0.1/x");
    editor->UseAddress();
    EXPECT_EQ(Texts().back(), "rtmp推流地址需要以  rtmp://  开始，请重新输入");
    Child<QLineEdit>(editor.get(), "edRtmp")->setText("RTMP://127.0.0.1/live/b");
    editor->UseAddress();
    EXPECT_EQ(host.addresses, std::vector<std::string>{"RTMP://127.0.0.1/live/b"});
}

// The same window driven through the X server.
TEST_F(EditorWindow, RealMouseAndKeysDriveTheEditor) {
    test::TScenarioSteps steps;
    TAVRIN_STEP(steps, "editor shown for real input");
    const std::string file = plans.File("x.kvx");
    {
        TLayoutProject plan;
        plan.newProject(7, "x", file);
        fs::copy_file(images.File("bg.jpg"), plans.File("bg.jpg"));
        rImage image;
        image.name = "bg";
        image.filename = plans.File("bg.jpg");
        plan.newItem(kItemImage, &image);
        rRectangle r;
        r.name = "r";
        r.rect = {400, 300, 640, 360};
        plan.newItem(kItemRectangle, &r);
        rLayout scene;
        scene.name = "s";
        scene.image = 1;
        scene.rectangle = {1};
        plan.newItem(kItemLayout, &scene);
        plan.setHeadInfo("x", "rtmp://127.0.0.1/live/x");
        ASSERT_EQ(plan.saveProject(), 0);
    }
    auto editor = Open(kPlanOpen, QString::fromStdString(file));
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(1);
    editor->findChild<QTabWidget*>("resTabs")->setCurrentIndex(1);
    test::Pump(100);
    test::TXdo xdo;
    TAVRIN_STEP(steps, "rectangle entry clicked");
    // Click the rectangle's entry itself.
    QListWidget* rects = editor->List(kItemRectangle);
    const QRect entry = rects->visualItemRect(rects->item(0));
    ASSERT_TRUE(xdo.MoveTo(rects->viewport()->mapToGlobal(entry.center())));
    ASSERT_TRUE(xdo.Run({"click", "1"}));
    ASSERT_TRUE(
        test::WaitUntil([&] { return editor->View().CurrentItem().nType == kItemRectangle; }));

    TAVRIN_STEP(steps, "rectangle dragged with the pointer");
    // Drag the rectangle by its body with the real pointer.
    QWidget* picture = editor->Picture();
    const TDispMap map = editor->View().Map();
    const QPoint from(map.ToDispX(720), map.ToDispY(480));
    const QPoint to = from + QPoint(120, 60);
    int fx = 0, fy = 0, tx = 0, ty = 0;
    ASSERT_TRUE(map.ToCanvas(from.x(), from.y(), fx, fy));
    ASSERT_TRUE(map.ToCanvas(to.x(), to.y(), tx, ty));
    ASSERT_TRUE(xdo.MoveTo(picture->mapToGlobal(from)));
    ASSERT_TRUE(xdo.MouseDown());
    ASSERT_TRUE(xdo.MoveTo(picture->mapToGlobal(from + QPoint(60, 30))));
    ASSERT_TRUE(xdo.MoveTo(picture->mapToGlobal(to)));
    ASSERT_TRUE(xdo.MouseUp());
    const auto rect = [&] { return Item<rRectangle>(editor->View(), kItemRectangle, 1).rect; };
    ASSERT_TRUE(test::WaitUntil([&] { return rect().left == 400 + tx - fx; }))
        << rect().left << " want " << 400 + tx - fx;
    EXPECT_EQ(rect().top, 300 + ty - fy);
    test::SaveScreen("editor-dragged");

    TAVRIN_STEP(steps, "address typed and saved");
    // Type a new address and save through the buttons of the info page.
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(2);
    test::Pump(100);
    auto* rtmp = Child<QLineEdit>(editor.get(), "edRtmp");
    ASSERT_TRUE(xdo.Click(rtmp));
    ASSERT_TRUE(xdo.Key("ctrl+a"));
    ASSERT_TRUE(xdo.Type("rtmp://127.0.0.1/live/typed"));
    ASSERT_TRUE(test::WaitUntil([&] { return rtmp->text() == "rtmp://127.0.0.1/live/typed"; }));
    ASSERT_TRUE(xdo.Click(Child<QPushButton>(editor.get(), "btnSave")));
    ASSERT_TRUE(test::WaitUntil([&] { return !editor->View().getIfNeedSave(); }));
    TLayoutProject back;
    ASSERT_EQ(back.loadProject(file), 0);
    EXPECT_EQ(back.Rectangles()[0].rect.left, 400 + tx - fx);
    rProjectHead head;
    back.getHeadInfo(head);
    EXPECT_EQ(head.rtmp, "rtmp://127.0.0.1/live/typed");

    TAVRIN_STEP(steps, "live address outside capture mode");
    // Live address outside capture mode.
    ASSERT_TRUE(Texts().empty());
    ASSERT_TRUE(xdo.Click(Child<QPushButton>(editor.get(), "btnUseAddress")));
    ASSERT_TRUE(test::WaitUntil([&] { return !Texts().empty(); }));
    EXPECT_EQ(Texts().back(), "请在录课模式下使用");

    TAVRIN_STEP(steps, "snapshot from the picture menu");
    // The picture's menu saves a snapshot of what it shows.
    const size_t before = Texts().size();
    ASSERT_TRUE(xdo.MoveTo(picture->mapToGlobal(QPoint(20, 20))));
    // The menu runs its own loop until it is answered: the keys that answer
    // it are sent from inside that loop, once the menu is up.
    bool answered = false;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QApplication::activePopupWidget() != nullptr) {
            poll.stop();
            answered = xdo.Key("Down") && xdo.Key("Return");
        } else if (waited.elapsed() > 20000) {
            poll.stop();
        }
    });
    poll.start(20);
    ASSERT_TRUE(xdo.Run({"click", "3"}));
    ASSERT_TRUE(test::WaitUntil([&] { return answered; }));
    ASSERT_TRUE(test::WaitUntil([&] { return Texts().size() > before; }));
    const std::string saved = Texts().back();
    EXPECT_EQ(saved.rfind("生成的JPG图片存于当前活动所在文件夹的snapshot文件夹中：\n", 0), 0u);
    EXPECT_NE(saved.find("(1280x720).jpg"), std::string::npos);
    const std::string snapshot = saved.substr(saved.find('\n') + 1);
    ASSERT_TRUE(fs::exists(snapshot));
    fs::copy_file(snapshot, test::TestOutputDir() + "/snapshot-720p.jpg",
                  fs::copy_options::overwrite_existing);

    TAVRIN_STEP(steps, "double click uses the scene");
    // A double click on the scene entry uses it.
    TScreenLayout runtime;
    ASSERT_TRUE(runtime.initialize(1920, 1080));
    host.runtime = &runtime;
    editor->findChild<QTabWidget*>("tabs")->setCurrentIndex(0);
    test::Pump(100);
    QListWidget* scenes = editor->List(kItemLayout);
    const QRect sceneEntry = scenes->visualItemRect(scenes->item(0));
    ASSERT_TRUE(xdo.MoveTo(scenes->viewport()->mapToGlobal(sceneEntry.center())));
    ASSERT_TRUE(xdo.Run({"click", "--repeat", "2", "--delay", "60", "1"}));
    ASSERT_TRUE(test::WaitUntil([&] { return !host.scenes.empty(); }));
    EXPECT_EQ(host.scenes, std::vector<int32_t>{1});
    const TScreenLayout::rProjectHead* loaded = nullptr;
    runtime.GetInfo(loaded);
    EXPECT_EQ(loaded->filename, file);
    host.runtime = nullptr;
}

} // namespace
} // namespace tavrin
