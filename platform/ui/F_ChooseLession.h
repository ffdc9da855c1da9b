// The lesson chooser: the operator's schedule filtered by date, which
// lessons have a recording on this computer, deleting a recording, and the
// lesson and mode (record or replay) the main window enters next.
#pragma once

#include "platform/DateTime.h"
#include "platform/PlatformTypes.h"

#include <QDialog>
#include <cstdint>
#include <set>
#include <string>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableView;

namespace tavrin {

class TGetLessionInfo;
class TImageButton;
class TLessonTableModel;
class TvoServer;

class TF_ChooseLession : public QDialog {
    Q_OBJECT
public:
    // Both live as long as the process; the dialog is created once and shown
    // again and again.
    TF_ChooseLession(const TvoServer& server, const TGetLessionInfo& paths,
                     QWidget* parent = nullptr);
    ~TF_ChooseLession() override;

    // Before each showing: the lesson the main window has open (-1 none).
    void initialize(int32_t lessonID);

    int32_t nCurrentChoose = 0; // the date filter, kept between showings
    int32_t nCurrentClickImageTAGID = -1;
    std::set<int32_t> aLessionID; // lessons with a folder on this computer
    TDateTime currentDate;
    int32_t nCurrentMode = 0; // 0 nothing chosen, 1 record, 2 replay
    int32_t nCurrentLession = -1;
    const Tvo_FromServer* CurrentPvo = nullptr;

    QTableView* List() const { return list_; }
    const TLessonTableModel& Model() const { return *model_; }
    QRadioButton* FilterButton(int filter) const;
    QLabel* CountLabel() const { return count_; }
    TImageButton* RecordButton() const { return record_; }
    TImageButton* ReplayButton() const { return replay_; }
    QPushButton* LocateButton() const { return locate_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* CancelButton() const { return cancel_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RebuildLocal();
    void Fill();
    void Locate();
    void Choose(int mode, TImageButton* from);
    void DeleteSelected();
    const Tvo_FromServer* Find(int32_t lessonID) const;
    int SelectedRow() const;

    const TvoServer& server_;
    const TGetLessionInfo& paths_;
    TLessonTableModel* model_;
    QTableView* list_;
    QButtonGroup* filters_;
    QLabel* count_;
    TImageButton* record_;
    TImageButton* replay_;
    QPushButton* locate_;
    QPushButton* delete_;
    QPushButton* cancel_;
};

// Deletes a folder with everything in it. A file that cannot be deleted is
// reported (folder must end with "/") and the rest goes on; a folder that is
// not empty in the end is left silently.
void DeleteLessonFolder(const std::string& folder);

} // namespace tavrin
