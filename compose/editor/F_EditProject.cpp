#include "compose/editor/F_EditProject.h"

#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Trace.h"
#include "base/ui/ShellOpen.h"
#include "compose/PlanFile.h"
#include "compose/ScreenLayout.h"
#include "compose/editor/EditorHost.h"
#include "compose/editor/F_Fontstyle.h"
#include "compose/editor/F_Image.h"
#include "compose/editor/F_Layout.h"
#include "compose/editor/F_Name.h"
#include "compose/editor/F_NewProject.h"
#include "compose/editor/PicturePanel.h"
#include "compose/editor/Snapshot.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

namespace tavrin {

namespace {

constexpr int kIdRole = Qt::UserRole;

std::string Std(const QString& s) {
    return s.toStdString();
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool IsRtmp(const QString& url) {
    return url.startsWith(QStringLiteral("rtmp://"), Qt::CaseInsensitive);
}

template <typename T> T* Find(TInterLayout& view, int nType, int32_t id) {
    void* p = nullptr;
    return view.getItem(nType, id, p) == id && p != nullptr ? static_cast<T*>(p) : nullptr;
}

} // namespace

TF_EditProject::TF_EditProject(IEditorHost* host, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host) {
    setWindowTitle(QStringLiteral("活动编辑"));
    setObjectName("TF_EditProject");
    BuildPages();
    resize(1180, 640);
}

TF_EditProject::~TF_EditProject() = default;

void TF_EditProject::BuildPages() {
    auto* top = new QHBoxLayout(this);
    tabs = new QTabWidget(this);
    tabs->setObjectName("tabs");
    tabs->setFixedWidth(330);
    top->addWidget(tabs);
    area = new TPictureArea(this);
    top->addWidget(area, 1);

    auto makeList = [this](const char* name, bool checkable) {
        auto* list = new QListWidget(this);
        list->setObjectName(name);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        list->setProperty("checkable", checkable);
        return list;
    };
    lvScene = makeList("lvScene", false);
    lvImage = makeList("lvImage", false);
    lvRect = makeList("lvRect", true);
    lvStyle = makeList("lvStyle", true);

    tabs->addTab(lvScene, QStringLiteral("场景"));
    resTabs = new QTabWidget(this);
    resTabs->setObjectName("resTabs");
    resTabs->addTab(lvImage, QStringLiteral("底图"));
    auto* rectPage = new QWidget(this);
    auto* rectLayout = new QVBoxLayout(rectPage);
    rectLayout->setContentsMargins(0, 0, 0, 0);
    rectLayout->addWidget(lvRect);
    auto* aspects = new QHBoxLayout;
    auto* b169 = new QPushButton(QStringLiteral("宽:高=16:9"), rectPage);
    b169->setObjectName("btn169");
    auto* b43 = new QPushButton(QStringLiteral("宽:高=4:3"), rectPage);
    b43->setObjectName("btn43");
    aspects->addWidget(b169);
    aspects->addWidget(b43);
    rectLayout->addLayout(aspects);
    resTabs->addTab(rectPage, QStringLiteral("视频框"));
    resTabs->addTab(lvStyle, QStringLiteral("文本样式"));
    tabs->addTab(resTabs, QStringLiteral("资源"));

    auto* info = new QWidget(this);
    auto* form = new QFormLayout(info);
    edName = new QLineEdit(info);
    edName->setObjectName("edName");
    edRtmp = new QLineEdit(info);
    edRtmp->setObjectName("edRtmp");
    lbCreate = new QLabel(info);
    lbUpdate = new QLabel(info);
    lbDir = new QLabel(info);
    lbDir->setObjectName("lbDir");
    lbDir->setWordWrap(true);
    form->addRow(QStringLiteral("活动名称："), edName);
    form->addRow(QStringLiteral("rtmp推流地址："), edRtmp);
    form->addRow(QStringLiteral("创建时间："), lbCreate);
    form->addRow(QStringLiteral("更新时间："), lbUpdate);
    form->addRow(QStringLiteral("工作目录："), lbDir);
    form->addRow(new QLabel(QStringLiteral("完整拷贝此目录可在他处使用"), info));
    auto* save = new QPushButton(QStringLiteral("保存更改"), info);
    save->setObjectName("btnSave");
    auto* readme = new QPushButton(QStringLiteral("查看使用说明"), info);
    readme->setObjectName("btnReadme");
    auto* live = new QPushButton(QStringLiteral("使用此地址直播"), info);
    live->setObjectName("btnUseAddress");
    form->addRow(save);
    form->addRow(readme);
    form->addRow(live);
    tabs->addTab(info, QStringLiteral("活动基本信息"));

    connect(b169, &QPushButton::clicked, this, [this] { SetAspect(16, 9); });
    connect(b43, &QPushButton::clicked, this, [this] { SetAspect(4, 3); });
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    connect(readme, &QPushButton::clicked, this,
            [] { ShellOpen(ProgramFile("layout_readme.txt")); });
    connect(live, &QPushButton::clicked, this, [this] { UseAddress(); });
    connect(edName, &QLineEdit::textEdited, this, [this] { InterLayout.setSaveState(); });
    connect(edRtmp, &QLineEdit::textEdited, this, [this] { InterLayout.setSaveState(); });

    for (int nType = kItemImage; nType <= kItemLayout; ++nType) {
        QListWidget* list = List(nType);
        connect(list, &QListWidget::itemClicked, this, [this, nType](QListWidgetItem* item) {
            ShowItem(nType, item->data(kIdRole).toInt());
        });
        connect(list, &QListWidget::itemDoubleClicked, this, [this, nType](QListWidgetItem* item) {
            ShowItem(nType, item->data(kIdRole).toInt());
            if (nType == kItemLayout) {
                UseScene();
            }
        });
        connect(list, &QListWidget::customContextMenuRequested, this,
                [this, nType, list](const QPoint& at) {
                    ShowListMenu(nType, list->viewport()->mapToGlobal(at));
                });
    }
    // A checked entry is drawn beside the current item of its list.
    for (int nType : {kItemRectangle, kItemFontStyle}) {
        connect(List(nType), &QListWidget::itemChanged, this, [this, nType](QListWidgetItem*) {
            if (InterLayout.CurrentItem().nType == nType) {
                ShowExtras(nType, InterLayout.CurrentItem().id);
                Redraw();
            }
        });
    }

    TPicturePanel* panel = area->Panel();
    connect(panel, &TPicturePanel::pressed, this, &TF_EditProject::PicturePressed);
    connect(panel, &TPicturePanel::moved, this, &TF_EditProject::PictureMoved);
    connect(panel, &TPicturePanel::released, this, [this](QPoint) { mouse_.MouseUp(); });
    connect(panel, &TPicturePanel::doubleClicked, this, &TF_EditProject::PictureDoubleClicked);
    connect(panel, &TPicturePanel::resized, this, &TF_EditProject::PictureResized);
    // SDL does not hear of exposures: without this, a dialog that closed
    // over the picture stays printed on it until the next change.
    connect(panel, &TPicturePanel::exposed, this, [this] {
        if (!bExposeRedrawPending) {
            bExposeRedrawPending = true;
            QTimer::singleShot(0, this, [this] {
                bExposeRedrawPending = false;
                Redraw();
            });
        }
    });
    connect(panel, &QWidget::customContextMenuRequested, this,
            [this, panel](const QPoint& at) { ShowPictureMenu(panel->mapToGlobal(at)); });
}

QWidget* TF_EditProject::Picture() const {
    return area->Panel();
}

QListWidget* TF_EditProject::List(int nType) const {
    switch (nType) {
    case kItemImage:
        return lvImage;
    case kItemRectangle:
        return lvRect;
    case kItemFontStyle:
        return lvStyle;
    case kItemLayout:
        return lvScene;
    default:
        return nullptr;
    }
}

int32_t TF_EditProject::SelectedId(int nType) const {
    const QListWidget* list = List(nType);
    const QListWidgetItem* item = list != nullptr ? list->currentItem() : nullptr;
    return item != nullptr && item->isSelected() ? item->data(kIdRole).toInt() : -1;
}

int TF_EditProject::initialize(int nMode, int YUVWidth, int32_t userid, const QString& projectname,
                               const QString& filename, int YUVHeight) {
    nYUVWidth = YUVWidth;
    nYUVHeight = YUVHeight;
    TPicturePanel* panel = area->Panel();
    const rRect xr{0, 0, std::max(1, panel->width()), std::max(1, panel->height())};
    InterLayout.initialize(TNativeWindow(panel->winId()), YUVWidth, YUVHeight, xr);
    const int result = nMode == kPlanOpen
                           ? InterLayout.loadProject(Std(filename))
                           : InterLayout.newProject(userid, Std(projectname), Std(filename));
    if (result != 0) {
        ShowMessage("打开项目文件失败\n" + Std(filename), TMsgIcon::Error);
        return -1;
    }
    sFileName = filename;
    sDir = QFileInfo(filename).absolutePath() + "/";
    bHasSave = false;
    FillLists();
    FillHead();
    QTimer::singleShot(10, this, [this] { Redraw(); });
    return 0;
}

void TF_EditProject::FillHead() {
    rProjectHead head;
    InterLayout.getHeadInfo(head);
    edName->setText(Q(head.name));
    edRtmp->setText(Q(head.rtmp));
    lbCreate->setText(Q(head.createtime));
    lbUpdate->setText(Q(head.lastrefreshtime));
    lbDir->setText(sDir);
}

void TF_EditProject::FillLists() {
    for (int nType = kItemImage; nType <= kItemLayout; ++nType) {
        FillList(nType);
    }
}

void TF_EditProject::FillList(int nType) {
    QListWidget* list = List(nType);
    const int32_t keep = SelectedId(nType);
    // Check marks survive a refill.
    std::vector<int32_t> checked;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked) {
            checked.push_back(list->item(i)->data(kIdRole).toInt());
        }
    }
    const bool checkable = list->property("checkable").toBool();
    QSignalBlocker block(list);
    list->clear();
    auto add = [&](int32_t id, const std::string& name) {
        auto* item = new QListWidgetItem(Q(name), list);
        item->setData(kIdRole, id);
        if (checkable) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            const bool on = std::find(checked.begin(), checked.end(), id) != checked.end();
            item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        }
    };
    TLayoutProject& p = InterLayout.Project();
    switch (nType) {
    case kItemImage:
        for (const rImage& x : p.Images()) {
            add(x.id, x.name);
        }
        break;
    case kItemRectangle:
        for (const rRectangle& x : p.Rectangles()) {
            add(x.id, x.name);
        }
        break;
    case kItemFontStyle:
        for (const rFontStyle& x : p.FontStyles()) {
            add(x.id, x.name);
        }
        break;
    case kItemLayout:
        for (const rLayout& x : p.Layouts()) {
            add(x.id, x.name);
        }
        break;
    default:
        break;
    }
    Select(nType, keep);
}

void TF_EditProject::Select(int nType, int32_t id) {
    QListWidget* list = List(nType);
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(kIdRole).toInt() == id) {
            QSignalBlocker block(list);
            list->setCurrentRow(i);
            return;
        }
    }
}

void TF_EditProject::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (bShownOnce) {
        return;
    }
    bShownOnce = true;
    tabs->setCurrentIndex(0);
    resTabs->setCurrentIndex(0);
    if (lvScene->count() > 0) {
        const int32_t first = lvScene->item(0)->data(kIdRole).toInt();
        Select(kItemLayout, first);
        ShowItem(kItemLayout, first);
    }
}

void TF_EditProject::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        QTimer::singleShot(10, this, [this] { Redraw(); });
    }
}

void TF_EditProject::closeEvent(QCloseEvent* event) {
    if (InterLayout.getIfNeedSave() &&
        ShowMessage("您需要保存本次对此活动内容的更改么？", TMsgIcon::Question,
                    TMsgButtons::YesNo) == TMsgAnswer::Yes &&
        !Save()) {
        // The changes would be lost: the editor stays open.
        event->ignore();
        return;
    }
    event->accept();
    emit closed(geometry());
}

void TF_EditProject::RefreshPicture() {
    QTimer::singleShot(10, this, [this] { Redraw(); });
}

void TF_EditProject::Redraw() {
    InterLayout.refreshDisplay();
}

void TF_EditProject::PictureResized(QSize size) {
    InterLayout.modifyDispRect({0, 0, std::max(1, size.width()), std::max(1, size.height())});
}

TListPick TF_EditProject::Pick(int nType) const {
    TListPick pick;
    const QListWidget* list = List(nType);
    if (list == nullptr) {
        return pick;
    }
    pick.selected = SelectedId(nType);
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked) {
            pick.checked.push_back(list->item(i)->data(kIdRole).toInt());
        }
    }
    return pick;
}

void TF_EditProject::ShowExtras(int nType, int32_t id) {
    InterLayout.clearExtendDisplayItem();
    std::vector<TExtendDisp> others;
    for (int32_t c : Pick(nType).checked) {
        if (c != id) {
            others.push_back({c, nType});
        }
    }
    InterLayout.addExtendDisplayItem(others);
}

void TF_EditProject::ShowItem(int nType, int32_t id) {
    Select(nType, id);
    if (nType == kItemLayout) {
        InterLayout.switchToLayout(id);
    } else if (InterLayout.switchToItem(nType, id, nType != kItemImage) >= 0 &&
               nType != kItemImage) {
        ShowExtras(nType, id);
    }
    Redraw();
}

void TF_EditProject::PicturePressed(QPoint at, Qt::MouseButton button) {
    if (button != Qt::LeftButton && button != Qt::MiddleButton) {
        return;
    }
    const int nType = InterLayout.CurrentItem().nType;
    const auto taken = mouse_.MouseDown(at.x(), at.y(), Pick(nType));
    if (taken) {
        Select(nType, *taken);
    }
}

void TF_EditProject::PictureMoved(QPoint at, Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) {
        mouse_.MouseMove(at.x(), at.y());
    }
}

void TF_EditProject::PictureDoubleClicked(QPoint) {
    const int32_t textId = mouse_.SelectedText();
    rLayout* scene = InterLayout.CurrentItem().nType == kItemLayout
                         ? Find<rLayout>(InterLayout, kItemLayout, InterLayout.CurrentItem().id)
                         : nullptr;
    if (scene == nullptr || textId < 0) {
        return;
    }
    const auto it = std::find_if(scene->text.begin(), scene->text.end(),
                                 [textId](const rText& t) { return t.id == textId; });
    if (it == scene->text.end()) {
        return;
    }
    QString name = Q(it->name);
    if (!TF_Name::Ask(this, name)) {
        return;
    }
    if (name.isEmpty()) {
        ShowMessage("需要输入文本名", TMsgIcon::Warning);
        return;
    }
    it->name = Std(name);
    InterLayout.setSaveState();
    Redraw();
}

void TF_EditProject::ShowPictureMenu(const QPoint& at) {
    QMenu menu(this);
    QAction* a720 = menu.addAction(QStringLiteral("场景另存为JPG图片 720P"));
    QAction* a1080 = menu.addAction(QStringLiteral("场景另存为JPG图片 1080P"));
    const QAction* chosen = menu.exec(at);
    if (chosen == a720) {
        Snapshot(1280, 720);
    } else if (chosen == a1080) {
        Snapshot(1920, 1080);
    }
}

std::string TF_EditProject::Snapshot(int w, int h) {
    return TakeSnapshot(InterLayout, w, h, std::time(nullptr));
}

void TF_EditProject::ShowListMenu(int nType, const QPoint& at) {
    QMenu menu(this);
    menu.setObjectName("listMenu");
    menu.addAction(QStringLiteral("新建"), this, [this, nType] { DoNew(nType); });
    menu.addAction(QStringLiteral("修改"), this, [this, nType] { DoModify(nType); });
    menu.addAction(QStringLiteral("删除"), this, [this, nType] { DoDelete(nType); });
    menu.addAction(QStringLiteral("上下交换"), this, [this, nType] { DoSwap(nType); });
    menu.addAction(QStringLiteral("保存更改"), this, [this] { Save(); });
    if (nType == kItemLayout) {
        menu.addAction(QStringLiteral("复制场景"), this, [this] { DoCopyScene(); });
        menu.addAction(QStringLiteral("使用此场景"), this, [this] { UseScene(); });
    }
    menu.exec(at);
}

QString TF_EditProject::CopyIntoPlanFolder(const QString& file) {
    const QString target = sDir + QFileInfo(file).fileName();
    // A file of that name already beside the plan is taken as it is.
    if (!QFileInfo::exists(target) && !QFile::copy(file, target)) {
        Trace("editor: cannot copy " + Std(file) + " into " + Std(sDir));
    }
    return file;
}

void TF_EditProject::DoNew(int nType) {
    int32_t id = -1;
    switch (nType) {
    case kItemImage: {
        TF_Image dialog(QStringLiteral("未命名图片"), QString(), this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        if (dialog.Name().isEmpty() || dialog.FileName().isEmpty()) {
            ShowMessage("需要选择JEPG图片及命名", TMsgIcon::Warning);
            return;
        }
        rImage image;
        image.name = Std(dialog.Name());
        image.filename = Std(CopyIntoPlanFolder(dialog.FileName()));
        id = InterLayout.newItem(kItemImage, &image);
        break;
    }
    case kItemRectangle: {
        QString name = QStringLiteral("未命名视频框");
        if (!TF_Name::Ask(this, name)) {
            return;
        }
        if (name.isEmpty()) {
            ShowMessage("需要输入视频框名", TMsgIcon::Warning);
            return;
        }
        rRectangle r;
        r.name = Std(name);
        r.rect = {100, 100, 320, 180};
        id = InterLayout.newItem(kItemRectangle, &r);
        break;
    }
    case kItemFontStyle: {
        TF_Fontstyle dialog(QStringLiteral("未命名文本"), 48, RgbToPlanColor(0xFFFFFF), this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        rFontStyle f;
        f.name = Std(dialog.Text());
        f.font = kPlanFontName;
        f.size = dialog.Size();
        f.color = dialog.ColorRef();
        f.x = 300;
        f.y = 300;
        id = InterLayout.newItem(kItemFontStyle, &f);
        break;
    }
    case kItemLayout: {
        if (InterLayout.Project().Images().empty()) {
            ShowMessage("当前活动尚未加载底图，至少需要加载一张", TMsgIcon::Warning);
            return;
        }
        TLayoutForm form = SceneForm(-1);
        TF_Layout dialog(form, this);
        if (dialog.exec() != QDialog::Accepted || !ApplySceneForm(dialog.Result(), -1)) {
            return;
        }
        id = InterLayout.Project().Layouts().back().id;
        break;
    }
    default:
        return;
    }
    if (id < 0) {
        return;
    }
    FillList(nType);
    ShowItem(nType, id);
}

TLayoutForm TF_EditProject::SceneForm(int32_t sceneId) {
    TLayoutForm form;
    TLayoutProject& p = InterLayout.Project();
    const rLayout* scene =
        sceneId >= 0 ? Find<rLayout>(InterLayout, kItemLayout, sceneId) : nullptr;
    form.name = scene != nullptr ? Q(scene->name) : QStringLiteral("未命名场景");
    for (const rImage& x : p.Images()) {
        form.images.push_back({x.id, Q(x.name), false});
    }
    form.image = scene != nullptr ? scene->image : p.Images().front().id;
    for (const rRectangle& x : p.Rectangles()) {
        const bool member =
            scene != nullptr && std::find(scene->rectangle.begin(), scene->rectangle.end(), x.id) !=
                                    scene->rectangle.end();
        form.rects.push_back({x.id, Q(x.name), member});
    }
    if (scene != nullptr) {
        for (const rText& t : scene->text) {
            form.texts.push_back({t.id, t.fontStyle, Q(t.name), true});
        }
    }
    for (const rFontStyle& x : p.FontStyles()) {
        form.styles.push_back({x.id, Q(x.name), false});
    }
    form.style = p.FontStyles().empty() ? -1 : p.FontStyles().front().id;
    return form;
}

bool TF_EditProject::ApplySceneForm(const TLayoutForm& form, int32_t sceneId) {
    if (form.name.isEmpty()) {
        ShowMessage("需要输入场景名", TMsgIcon::Warning);
        return false;
    }
    if (form.image < 0) {
        ShowMessage("需要选择一个底图", TMsgIcon::Warning);
        return false;
    }
    const rLayout* old = sceneId >= 0 ? Find<rLayout>(InterLayout, kItemLayout, sceneId) : nullptr;
    rLayout scene = old != nullptr ? *old : rLayout{};
    scene.name = Std(form.name);
    scene.image = form.image;
    scene.rectangle.clear();
    for (const auto& r : form.rects) {
        if (r.checked) {
            scene.rectangle.push_back(r.id);
        }
    }
    auto styleAt = [this](int32_t styleId, rText& t) {
        if (const rFontStyle* f = Find<rFontStyle>(InterLayout, kItemFontStyle, styleId)) {
            t.x = f->x;
            t.y = f->y;
        }
    };
    if (!InterLayout.Project().FontStyles().empty()) {
        for (const auto& ft : form.texts) {
            const auto has = std::find_if(scene.text.begin(), scene.text.end(),
                                          [&ft](const rText& t) { return t.id == ft.id; });
            if (ft.checked && has != scene.text.end()) {
                has->name = Std(ft.text);
            } else if (ft.checked) {
                rText t;
                t.id = ft.id;
                t.fontStyle = ft.fontStyle;
                t.name = Std(ft.text);
                styleAt(ft.fontStyle, t);
                scene.text.push_back(t);
            } else if (has != scene.text.end()) {
                scene.text.erase(has);
            }
        }
    }
    if (old != nullptr) {
        return InterLayout.modifyItem(kItemLayout, &scene) >= 0;
    }
    scene.id = 0;
    return InterLayout.newItem(kItemLayout, &scene) >= 0;
}

void TF_EditProject::DoModify(int nType) {
    const int32_t id = SelectedId(nType);
    if (id < 0) {
        return;
    }
    switch (nType) {
    case kItemImage: {
        const rImage* image = Find<rImage>(InterLayout, kItemImage, id);
        if (image == nullptr) {
            return;
        }
        TF_Image dialog(Q(image->name), Q(image->filename), this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        if (dialog.Name().isEmpty() || dialog.FileName().isEmpty()) {
            ShowMessage("需要选择JEPG图片及命名", TMsgIcon::Warning);
            return;
        }
        rImage copy = *image;
        copy.name = Std(dialog.Name());
        if (Q(copy.filename) != dialog.FileName()) {
            copy.filename = Std(CopyIntoPlanFolder(dialog.FileName()));
        }
        InterLayout.modifyItem(kItemImage, &copy);
        break;
    }
    case kItemRectangle: {
        const rRectangle* r = Find<rRectangle>(InterLayout, kItemRectangle, id);
        if (r == nullptr) {
            return;
        }
        QString name = Q(r->name);
        if (!TF_Name::Ask(this, name)) {
            return;
        }
        if (name.isEmpty()) {
            ShowMessage("需要输入视频框名", TMsgIcon::Warning);
            return;
        }
        rRectangle copy = *r;
        copy.name = Std(name);
        InterLayout.modifyItem(kItemRectangle, &copy);
        break;
    }
    case kItemFontStyle: {
        const rFontStyle* f = Find<rFontStyle>(InterLayout, kItemFontStyle, id);
        if (f == nullptr) {
            return;
        }
        TF_Fontstyle dialog(Q(f->name), f->size, f->color, this);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        rFontStyle copy = *f;
        copy.name = Std(dialog.Text());
        copy.size = dialog.Size();
        copy.color = dialog.ColorRef();
        copy.font = kPlanFontName;
        InterLayout.modifyItem(kItemFontStyle, &copy);
        break;
    }
    case kItemLayout: {
        TF_Layout dialog(SceneForm(id), this);
        if (dialog.exec() != QDialog::Accepted || !ApplySceneForm(dialog.Result(), id)) {
            return;
        }
        break;
    }
    default:
        return;
    }
    FillList(nType);
    ShowItem(nType, id);
}

void TF_EditProject::DoDelete(int nType) {
    const int32_t id = SelectedId(nType);
    if (id < 0 || !InterLayout.delItem(nType, id)) {
        return;
    }
    FillList(nType);
    Redraw();
}

void TF_EditProject::DoSwap(int nType) {
    QListWidget* list = List(nType);
    const int row = list->currentRow();
    if (SelectedId(nType) < 0 || list->count() < 2 || row < 0) {
        return;
    }
    const int other = row == 0 ? 1 : row - 1;
    const int32_t a = list->item(row)->data(kIdRole).toInt();
    const int32_t b = list->item(other)->data(kIdRole).toInt();
    if (!InterLayout.exchangeItemOrder(nType, a, b)) {
        return;
    }
    // Scenes keep their ids in place, so the moved content now carries the
    // other id; every other kind moves with its id.
    const int32_t moved = nType == kItemLayout ? b : a;
    FillList(nType);
    ShowItem(nType, moved);
}

void TF_EditProject::DoCopyScene() {
    const int32_t id = SelectedId(kItemLayout);
    if (id < 0) {
        return;
    }
    const int32_t copy = InterLayout.copyLayout(id);
    if (copy < 0) {
        return;
    }
    InterLayout.setSaveState();
    FillList(kItemLayout);
    ShowItem(kItemLayout, copy);
}

bool TF_EditProject::Save() {
    const QString name = edName->text().trimmed();
    if (name.isEmpty()) {
        ShowMessage("需要输入活动名称", TMsgIcon::Warning);
        return false;
    }
    if (!IsRtmp(edRtmp->text())) {
        ShowMessage("需要输入合法的rtmp推流地址\r\nrtmp推流地址需要以  rtmp://  开始，请重新输入",
                    TMsgIcon::Warning);
        return false;
    }
    InterLayout.setHeadInfo(Std(name), Std(edRtmp->text().trimmed()));
    if (InterLayout.saveProject() != 0) {
        ShowMessage("活动方案文件写入失败\n" + Std(sFileName), TMsgIcon::Error);
        return false;
    }
    bHasSave = true;
    FillHead();
    return true;
}

void TF_EditProject::UseScene() {
    const int32_t id = SelectedId(kItemLayout);
    TScreenLayout* runtime = host_ != nullptr ? host_->SceneRuntime() : nullptr;
    if (id < 0 || runtime == nullptr) {
        return;
    }
    if (InterLayout.getIfNeedSave() && !Save()) {
        return;
    }
    const TScreenLayout::rProjectHead* head = nullptr;
    runtime->GetInfo(head);
    if (bHasSave || head->filename != Std(sFileName)) {
        runtime->loadProject(Std(sFileName));
        bHasSave = false;
    }
    // The runtime numbers scenes by their position in id order, which is
    // the order of the list.
    const auto& scenes = InterLayout.Project().Layouts();
    const auto at =
        std::find_if(scenes.begin(), scenes.end(), [id](const rLayout& s) { return s.id == id; });
    if (at != scenes.end()) {
        host_->UseScene(int32_t(at - scenes.begin()) + 1);
    }
}

void TF_EditProject::UseAddress() {
    if (host_ == nullptr || !host_->IsCaptureMode()) {
        ShowMessage("请在录课模式下使用", TMsgIcon::Warning);
        return;
    }
    const QString url = edRtmp->text().trimmed();
    if (!IsRtmp(url)) {
        ShowMessage("rtmp推流地址需要以  rtmp://  开始，请重新输入", TMsgIcon::Warning);
        return;
    }
    host_->UseAddress(Std(url));
}

void TF_EditProject::SetAspect(int num, int den) {
    const int32_t id = SelectedId(kItemRectangle);
    rRectangle* r = id >= 0 ? Find<rRectangle>(InterLayout, kItemRectangle, id) : nullptr;
    if (r == nullptr) {
        return;
    }
    const auto h = TLayoutGesture::AspectHeight(r->rect, num, den, nYUVHeight);
    if (!h) {
        ShowMessage("按此比例设定后高会越界，此操作无效", TMsgIcon::Warning);
        return;
    }
    r->rect.height = *h;
    InterLayout.setSaveState();
    ShowItem(kItemRectangle, id);
}

} // namespace tavrin
