#include "compose/editor/PlanEditorLauncher.h"

#include "compose/ScreenLayout.h"
#include "compose/editor/EditorHost.h"
#include "compose/editor/F_EditProject.h"
#include "compose/editor/F_NewProject.h"

namespace tavrin {

TPlanEditorLauncher::TPlanEditorLauncher(IEditorHost& host, QWidget* mainWindow)
    : QObject(mainWindow), host_(host), mainWindow_(mainWindow) {}

TPlanEditorLauncher::~TPlanEditorLauncher() {
    delete editor_.data();
}

TF_EditProject* TPlanEditorLauncher::Open(int32_t userid) {
    QString inUseName;
    QString inUseFile;
    if (const TScreenLayout* runtime = host_.SceneRuntime()) {
        const TScreenLayout::rProjectHead* head = nullptr;
        runtime->GetInfo(head);
        if (!head->filename.empty()) {
            inUseName = QString::fromStdString(head->name);
            inUseFile = QString::fromStdString(head->filename);
        }
    }
    TF_NewProject chooser(inUseName, inUseFile, mainWindow_);
    chooser.exec();
    if (!chooser.bOK) {
        return nullptr;
    }
    // The open editor goes first, through its own close so that unsaved
    // changes are asked about; a refused save keeps it open.
    if (editor_ && !editor_->close()) {
        return nullptr;
    }
    delete editor_.data();
    auto* editor = new TF_EditProject(&host_, mainWindow_);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    if (editor->initialize(chooser.nMode, kEditorCanvasW, userid, chooser.projectname,
                           chooser.filename, kEditorCanvasH) != 0) {
        delete editor;
        return nullptr;
    }
    connect(editor, &TF_EditProject::closed, this,
            [this](QRect at) { host_.SetEditorWindowRect(at); });
    if (const QRect at = host_.EditorWindowRect(); at.isValid()) {
        editor->setGeometry(at);
    }
    editor_ = editor;
    editor->show();
    return editor;
}

} // namespace tavrin
