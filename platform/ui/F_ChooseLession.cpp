#include "platform/ui/F_ChooseLession.h"

#include "base/GetLessionInfo.h"
#include "base/Message.h"
#include "base/ui/ImageButton.h"
#include "platform/ui/DecimalText.h"
#include "platform/ui/LessonTable.h"
#include "platform/voServer.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <filesystem>

namespace tavrin {

namespace {

std::string TimeText(const TDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return text;
}

struct TFilterCaption {
    const char* caption;
    int value;
};
// Left to right.
constexpr TFilterCaption kFilters[] = {
    {"一周前", kFilterBeforeAWeek}, {"前一周内", kFilterPastWeek}, {"昨日", kFilterYesterday},
    {"今日", kFilterToday},         {"明日", kFilterTomorrow},     {"后一周内", kFilterNextWeek},
    {"一周后", kFilterAfterAWeek},  {"全部", kFilterAll},
};

} // namespace

void DeleteLessonFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        // A link to a folder is removed as a link; what it points to stays.
        if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
            DeleteLessonFolder(it->path().string() + "/");
            std::error_code ignored;
            fs::remove(it->path(), ignored);
            continue;
        }
        std::error_code removeError;
        if (!fs::remove(it->path(), removeError) || removeError) {
            std::string text = "无法删除此文件：" + folder;
            text += name;
            text += "\n\r可能需要您手工删除，或者重启本软件或电脑，再试！";
            ShowMessage(text, TMsgIcon::Warning);
        }
    }
    std::error_code ignored;
    fs::remove(fs::path(folder), ignored); // stays when something could not go
}

TF_ChooseLession::TF_ChooseLession(const TvoServer& server, const TGetLessionInfo& paths,
                                   QWidget* parent)
    : QDialog(parent), server_(server), paths_(paths), model_(new TLessonTableModel(this)),
      list_(new QTableView(this)), filters_(new QButtonGroup(this)), count_(new QLabel(this)),
      record_(new TImageButton(60, this, &nCurrentClickImageTAGID)),
      replay_(new TImageButton(50, this, &nCurrentClickImageTAGID)),
      locate_(new QPushButton(QStringLiteral("定位到正在进行的"), this)),
      delete_(new QPushButton(QStringLiteral("删除当前选中录像"), this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)) {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));

    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->setVisible(false);
    list_->verticalHeader()->setDefaultSectionSize(24);
    list_->setShowGrid(false);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setMinimumSectionSize(20); // the narrow columns are 40
    for (int c = 0; c < kLessonColumnCount; ++c) {
        if (kLessonColumns[c].width > 0) {
            list_->setColumnWidth(c, kLessonColumns[c].width);
        }
    }

    auto* filterRow = new QHBoxLayout;
    for (const TFilterCaption& f : kFilters) {
        auto* radio = new QRadioButton(QString::fromUtf8(f.caption), this);
        filters_->addButton(radio, f.value);
        filterRow->addWidget(radio);
    }
    filterRow->addStretch(1);
    filterRow->addWidget(count_);
    FilterButton(nCurrentChoose)->setChecked(true);

    auto* recordLabel = new QLabel(QStringLiteral("录课"), this);
    auto* replayLabel = new QLabel(QStringLiteral("回放"), this);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(record_);
    buttonRow->addWidget(recordLabel);
    buttonRow->addSpacing(16);
    buttonRow->addWidget(replay_);
    buttonRow->addWidget(replayLabel);
    buttonRow->addStretch(1);
    buttonRow->addWidget(locate_);
    buttonRow->addWidget(delete_);
    buttonRow->addSpacing(16);
    buttonRow->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(list_, 1);
    layout->addLayout(buttonRow);
    resize(1380, 560);

    connect(filters_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            nCurrentChoose = id;
            Fill();
        }
    });
    connect(record_, &QAbstractButton::clicked, this, [this] { Choose(1, record_); });
    connect(replay_, &QAbstractButton::clicked, this, [this] { Choose(2, replay_); });
    connect(list_, &QTableView::doubleClicked, this, [this] { Choose(1, nullptr); });
    connect(locate_, &QPushButton::clicked, this, &TF_ChooseLession::Locate);
    connect(delete_, &QPushButton::clicked, this, &TF_ChooseLession::DeleteSelected);
    connect(cancel_, &QPushButton::clicked, this, &TF_ChooseLession::reject);
}

TF_ChooseLession::~TF_ChooseLession() = default;

QRadioButton* TF_ChooseLession::FilterButton(int filter) const {
    return static_cast<QRadioButton*>(filters_->button(filter));
}

void TF_ChooseLession::initialize(int32_t lessonID) {
    nCurrentMode = 0;
    nCurrentLession = lessonID;
    locate_->setVisible(lessonID != -1);
    currentDate = server_.GetCurrentDate();
}

void TF_ChooseLession::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RebuildLocal();
    if (nCurrentLession == -1) {
        FilterButton(nCurrentChoose)->setChecked(true);
        Fill();
    } else {
        Locate();
    }
}

void TF_ChooseLession::reject() {
    nCurrentMode = 0;
    QDialog::reject();
}

void TF_ChooseLession::RebuildLocal() {
    std::string userDir;
    paths_.Get_UserDir(userDir);
    aLessionID = LocalLessonIDs(userDir);
    const std::vector<Tvo_FromServer>* list = nullptr;
    server_.GetLessionList(list);
    model_->SetSource(list, currentDate, aLessionID);
}

void TF_ChooseLession::Fill() {
    model_->Fill(nCurrentChoose);
    count_->setText(QStringLiteral("共 %1 节").arg(model_->rowCount()));
}

const Tvo_FromServer* TF_ChooseLession::Find(int32_t lessonID) const {
    const std::vector<Tvo_FromServer>* list = nullptr;
    server_.GetLessionList(list);
    if (list != nullptr) {
        for (const Tvo_FromServer& vo : *list) {
            if (vo.LI.LessionID == lessonID) {
                return &vo;
            }
        }
    }
    return nullptr;
}

void TF_ChooseLession::Locate() {
    model_->Clear();
    count_->setText(QStringLiteral("共 0 节"));
    const Tvo_FromServer* vo = Find(nCurrentLession);
    if (vo == nullptr) {
        return;
    }
    FilterButton(FilterForDays(DaysBetween(currentDate, vo->LessionTime)))->setChecked(true);
    Fill();
    const int row = model_->RowOf(nCurrentLession);
    if (row >= 0) {
        list_->selectRow(row);
        list_->scrollTo(model_->index(row, 0));
    }
    list_->setFocus(Qt::OtherFocusReason);
}

int TF_ChooseLession::SelectedRow() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TF_ChooseLession::Choose(int mode, TImageButton* from) {
    // Messages are modal: the button's release must not redraw it afterwards.
    const auto tell = [from](const char* text) {
        if (from != nullptr) {
            from->RememberClick();
        }
        ShowMessage(text, TMsgIcon::Information);
    };
    const int row = SelectedRow();
    if (row < 0) {
        tell("请高亮选择一节课");
        return;
    }
    int32_t id = 0;
    if (!ParseDecimal(model_->index(row, kColumnLessonID).data().toString(), id)) {
        tell("此课程无编号,请重新选择");
        return;
    }
    if (const Tvo_FromServer* vo = Find(id)) {
        CurrentPvo = vo;
        nCurrentLession = id;
        nCurrentMode = mode;
    }
    accept();
}

void TF_ChooseLession::DeleteSelected() {
    const int row = SelectedRow();
    if (row < 0) {
        ShowMessage("请高亮选择一节白色的课程，白色表示有录像", TMsgIcon::Information);
        return;
    }
    if (model_->index(row, kColumnLocal).data().toString() != "Y") {
        ShowMessage("当前课程未生成录像或已删除，请高亮选择白色的课程", TMsgIcon::Information);
        return;
    }
    int32_t id = 0;
    if (!ParseDecimal(model_->index(row, kColumnLessonID).data().toString(), id)) {
        ShowMessage("此课程无编号，请重新选择", TMsgIcon::Information);
        return;
    }
    if (id == nCurrentLession) {
        ShowMessage("无法删除当前正在使用的课程，请重新选择", TMsgIcon::Information);
        return;
    }
    const Tvo_FromServer* vo = Find(id);
    if (vo == nullptr) {
        return;
    }
    const std::string question = "您选择了删除如下课程，请确认。\r\n\r\n【教师】：" +
                                 vo->LI.TeacherName + "\r\n" + "【课名】：" + vo->LI.LessionName +
                                 "\r\n" + "【开课时间】：" + TimeText(vo->LessionTime) + "\r\n" +
                                 "\r\n" + "注意；此操作将从硬盘彻底删除本课程录像资料，无法恢复！";
    if (ShowMessage(question, TMsgIcon::Question, TMsgButtons::OkCancel) != TMsgAnswer::Ok) {
        return;
    }
    std::string folder;
    paths_.Get_CaptureDir(id, folder);
    DeleteLessonFolder(folder);
    RebuildLocal();
    Fill();
}

} // namespace tavrin
