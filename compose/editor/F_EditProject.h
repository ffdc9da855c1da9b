// The activity-plan editor window: the plan's scenes, background images,
// video rectangles and text styles in lists, their dialogs, the picture
// with direct manipulation, saving, and handing a scene or the plan's live
// address to the console.
#pragma once

#include "compose/editor/InterLayout.h"
#include "compose/editor/LayoutMouse.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;

namespace tavrin {

// The editor always works on this canvas.
constexpr int kEditorCanvasW = 1920;
constexpr int kEditorCanvasH = 1080;

class IEditorHost;
class TPictureArea;
struct TLayoutForm;

class TF_EditProject : public QWidget {
    Q_OBJECT
public:
    // host may be null (no console around: nothing can be used live).
    explicit TF_EditProject(IEditorHost* host, QWidget* parent = nullptr);
    ~TF_EditProject() override;

    // Draws the picture again shortly (the console asks when it is restored).
    void RefreshPicture();

    // nMode kPlanOpen loads filename, otherwise a new plan is made for
    // userid. 0, or -1 after telling the operator the plan cannot be opened.
    int initialize(int nMode, int YUVWidth, int32_t userid, const QString& projectname,
                   const QString& filename, int YUVHeight);

    // The list actions, by item kind (kItemImage ... kItemLayout); each acts
    // on that list's selected entry.
    void DoNew(int nType);
    void DoModify(int nType);
    void DoDelete(int nType);
    void DoSwap(int nType);
    void DoCopyScene();
    // "保存更改": true when the plan was written.
    bool Save();
    // "使用此场景" on the selected scene.
    void UseScene();
    // "使用此地址直播".
    void UseAddress();
    // The aspect buttons of the rectangles page (16:9 or 4:3).
    void SetAspect(int num, int den);
    // A list entry clicked: its item becomes current.
    void ShowItem(int nType, int32_t id);
    // The snapshot menu's entries.
    std::string Snapshot(int w, int h);

    // The list of a kind, for callers that drive the window.
    QListWidget* List(int nType) const;
    int32_t SelectedId(int nType) const;
    TInterLayout& View() { return InterLayout; }
    const QString& PlanFile() const { return sFileName; }
    QWidget* Picture() const;

signals:
    // The window closed; where it was, for the next opening.
    void closed(QRect geometry);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildPages();
    void FillLists();
    void FillList(int nType);
    void FillHead();
    void Select(int nType, int32_t id);
    void ShowListMenu(int nType, const QPoint& at);
    void ShowPictureMenu(const QPoint& at);
    void PicturePressed(QPoint at, Qt::MouseButton button);
    void PictureMoved(QPoint at, Qt::MouseButtons buttons);
    void PictureDoubleClicked(QPoint at);
    void PictureResized(QSize size);
    TListPick Pick(int nType) const;
    void ShowExtras(int nType, int32_t id);
    bool ApplySceneForm(const TLayoutForm& form, int32_t sceneId);
    TLayoutForm SceneForm(int32_t sceneId);
    QString CopyIntoPlanFolder(const QString& file);
    void Redraw();

    IEditorHost* host_;
    TInterLayout InterLayout;
    TLayoutMouse mouse_{InterLayout};
    int nYUVWidth = 1920;
    int nYUVHeight = 1080;
    QString sDir;
    QString sFileName;
    bool bHasSave = false;
    bool bShownOnce = false;
    bool bExposeRedrawPending = false; // one redraw for a burst of exposures

    QTabWidget* tabs = nullptr;
    QTabWidget* resTabs = nullptr;
    QListWidget* lvScene = nullptr;
    QListWidget* lvImage = nullptr;
    QListWidget* lvRect = nullptr;
    QListWidget* lvStyle = nullptr;
    QLineEdit* edName = nullptr;
    QLineEdit* edRtmp = nullptr;
    QLabel* lbCreate = nullptr;
    QLabel* lbUpdate = nullptr;
    QLabel* lbDir = nullptr;
    TPictureArea* area = nullptr;
};

} // namespace tavrin
