// How the console opens the plan editor from its menu entry "活动方案": the
// plan chooser, then one editor window at a time, placed where the console
// says (the first at its default rectangle, later ones where the last closed).
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <cstdint>

class QWidget;

namespace tavrin {

class IEditorHost;
class TF_EditProject;

class TPlanEditorLauncher : public QObject {
    Q_OBJECT
public:
    TPlanEditorLauncher(IEditorHost& host, QWidget* mainWindow);
    ~TPlanEditorLauncher() override;

    // Shows the chooser; on a choice frees the previous editor and opens the
    // new one for the signed-in user. The editor, or null.
    TF_EditProject* Open(int32_t userid);
    TF_EditProject* Editor() const { return editor_; }

private:
    IEditorHost& host_;
    QWidget* mainWindow_;
    QPointer<TF_EditProject> editor_;
};

} // namespace tavrin
