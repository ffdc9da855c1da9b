// The plan chooser: a new plan (name and folder), a plan file to open, or
// the plan the scene runtime is using.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin {

// Chooser modes, as the editor's initialize takes them.
enum : int { kPlanOpen = 1, kPlanNew = 2 };

class TF_NewProject : public QDialog {
    Q_OBJECT
public:
    // inUseName and inUseFile describe the plan of the scene runtime; empty
    // when none is loaded.
    TF_NewProject(const QString& inUseName, const QString& inUseFile, QWidget* parent = nullptr);

    bool bOK = false;
    int nMode = 0;
    QString dir;
    QString filename;
    QString projectname;

private:
    void ChooseFolder();
    void ConfirmNew();
    void OpenFile();
    void OpenInUse();

    QLineEdit* edName;
    QLabel* lbDir;
    QString inUseName_;
    QString inUseFile_;
};

} // namespace tavrin
