#include "mp4/ui/F_DoMp4.h"

#include "base/Message.h"
#include "base/Trace.h"
#include "base/ui/ShellOpen.h"
#include "compose/JpegPicture.h"
#include "mp4/UploadOutcome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

namespace tavrin {

namespace {

constexpr int kTickMs = 100;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string S(const QString& s) {
    return s.toStdString();
}

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* Field(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

} // namespace

TF_DoMp4::TF_DoMp4(const TGetLessionInfo& lessonPaths, QWidget* parent)
    : QDialog(parent), paths(lessonPaths) {
    setWindowTitle(QStringLiteral("生成MP4"));
    setModal(true);

    PC_Head = new QTabWidget(this);
    PC_Head->setObjectName("PC_Head");
    PC_Head->addTab(MakeStandardPage(), QStringLiteral("标准片头"));
    PC_Head->addTab(MakeImagePage(), QStringLiteral("图片片头"));
    PC_Head->addTab(MakeNoCardPage(), QStringLiteral("无片头"));
    PC_Head->setCurrentIndex(kStandardCards);

    ck_upload = new QCheckBox(QStringLiteral("生成后上传平台"), this);
    ck_upload->setObjectName("ck_upload");
    ck_upload->setVisible(false);
    bar = new QProgressBar(this);
    bar->setObjectName("bar");
    bar->setRange(0, 100);
    bar->setValue(0);
    btn_start = new QPushButton(QStringLiteral("生成"), this);
    btn_start->setObjectName("btn_start");
    btn_start->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ck_upload);
    bottom->addStretch(1);
    bottom->addWidget(btn_start);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PC_Head);
    layout->addLayout(bottom);
    layout->addWidget(bar);
    setMinimumWidth(640);

    timer = new QTimer(this);
    timer->setInterval(kTickMs);
    connect(timer, &QTimer::timeout, this, &TF_DoMp4::Tick);
    connect(btn_start, &QPushButton::clicked, this, &TF_DoMp4::StartBuild);
}

TF_DoMp4::~TF_DoMp4() {
    timer->stop();
    EndBuilder();
    EndUpload();
}

QComboBox* TF_DoMp4::SecondsList(const QString& name) {
    auto* list = new QComboBox(this);
    list->setObjectName(name);
    for (const std::string& entry : CardSecondsEntries()) {
        list->addItem(Q(entry));
    }
    list->setMaxVisibleItems(16);
    list->setCurrentIndex(kDefaultCardSeconds);
    return list;
}

QWidget* TF_DoMp4::MakeStandardPage() {
    auto* page = new QWidget(this);
    cb_head = SecondsList("cb_head");
    cb_tail = SecondsList("cb_tail");
    dt_record = new QDateEdit(QDate::currentDate(), page);
    dt_record->setObjectName("dt_record");
    dt_record->setCalendarPopup(true);
    dt_record->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    ed_maker = Field("ed_maker", page);
    ed_maker->setText(QStringLiteral("Orvell"));
    ed_content = Field("ed_content", page);
    ed_content->setReadOnly(true);
    ed_subject = Field("ed_subject", page);
    ed_grade = Field("ed_grade", page);
    ed_version = Field("ed_version", page);
    ed_school = Field("ed_school", page);
    ed_teacher = Field("ed_teacher", page);

    auto* grid = new QGridLayout(page);
    grid->addWidget(Caption(QStringLiteral("片头显示时长(秒)"), page), 0, 0);
    grid->addWidget(cb_head, 0, 1);
    grid->addWidget(Caption(QStringLiteral("片尾显示时长(秒)"), page), 0, 2);
    grid->addWidget(cb_tail, 0, 3);
    grid->addWidget(Caption(QStringLiteral("录制日期"), page), 1, 0);
    grid->addWidget(dt_record, 1, 1);
    grid->addWidget(Caption(QStringLiteral("制作单位"), page), 1, 2);
    grid->addWidget(ed_maker, 1, 3);
    grid->addWidget(Caption(QStringLiteral("内容"), page), 2, 0);
    grid->addWidget(ed_content, 2, 1, 1, 3);
    grid->addWidget(Caption(QStringLiteral("科目"), page), 3, 0);
    grid->addWidget(ed_subject, 3, 1);
    grid->addWidget(Caption(QStringLiteral("年级"), page), 3, 2);
    grid->addWidget(ed_grade, 3, 3);
    grid->addWidget(Caption(QStringLiteral("版本"), page), 4, 0);
    grid->addWidget(ed_version, 4, 1);
    grid->addWidget(Caption(QStringLiteral("单位"), page), 4, 2);
    grid->addWidget(ed_school, 4, 3);
    grid->addWidget(Caption(QStringLiteral("教师"), page), 5, 0);
    grid->addWidget(ed_teacher, 5, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);
    return page;
}

QWidget* TF_DoMp4::MakeImagePage() {
    auto* page = new QWidget(this);
    cb_imageHead = SecondsList("cb_imageHead");
    cb_imageTail = SecondsList("cb_imageTail");
    lab_pix = new QLabel(page);
    lab_pix->setObjectName("lab_pix");
    auto* loadHead = new QPushButton(QStringLiteral("加载..."), page);
    loadHead->setObjectName("btn_loadHead");
    auto* loadTail = new QPushButton(QStringLiteral("加载..."), page);
    loadTail->setObjectName("btn_loadTail");
    lab_headImage = new QLabel(page);
    lab_headImage->setObjectName("lab_headImage");
    lab_tailImage = new QLabel(page);
    lab_tailImage->setObjectName("lab_tailImage");
    for (QLabel* path : {lab_headImage, lab_tailImage}) {
        path->setWordWrap(true);
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto* grid = new QGridLayout(page);
    grid->addWidget(Caption(QStringLiteral("片头显示时长(秒)"), page), 0, 0);
    grid->addWidget(cb_imageHead, 0, 1);
    grid->addWidget(Caption(QStringLiteral("片尾显示时长(秒)"), page), 0, 2);
    grid->addWidget(cb_imageTail, 0, 3);
    grid->addWidget(lab_pix, 1, 0, 1, 4);
    grid->addWidget(Caption(QStringLiteral("片头图片"), page), 2, 0);
    grid->addWidget(loadHead, 2, 1, Qt::AlignLeft);
    grid->addWidget(Caption(QStringLiteral("片尾图片"), page), 2, 2);
    grid->addWidget(loadTail, 2, 3, Qt::AlignLeft);
    grid->addWidget(lab_headImage, 3, 1);
    grid->addWidget(lab_tailImage, 3, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(4, 1);

    connect(loadHead, &QPushButton::clicked, this, [this] { PickImage(false); });
    connect(loadTail, &QPushButton::clicked, this, [this] { PickImage(true); });
    return page;
}

QWidget* TF_DoMp4::MakeNoCardPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* text = new QLabel(QStringLiteral("原片，无片头片尾"), page);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    return page;
}

void TF_DoMp4::showEvent(QShowEvent* event) {
    if (nInState == 0) {
        PC_Head->setCurrentIndex(kStandardCards);
    }
    QDialog::showEvent(event);
}

void TF_DoMp4::SetServerInfo(const std::string& sIP, int nPort, int nLiveID, int nLiveType,
                             int nUserID, const std::string& sLiveToken,
                             const TConvertMode& rCMode) {
    IP = sIP;
    Port = nPort;
    LiveID = nLiveID;
    LiveType = nLiveType;
    UserID = nUserID;
    LiveToken = sLiveToken;
    ConvertMode = rCMode;
    bCanTransfer = true;
    lab_pix->setText(QStringLiteral("注意：本课程只可使用分辨率为 %1x%2 的图片！")
                         .arg(ConvertMode.nW)
                         .arg(ConvertMode.nH));
}

void TF_DoMp4::SetAudioDelay(int AudioDelayFrame) {
    nAudioDelay = AudioDelayMs(AudioDelayFrame);
}

void TF_DoMp4::SetVOInfo(const TLessionInfo& vo, const QDate& inlessonTime, bool bCanAllowUpload) {
    voInfo = vo;
    ed_content->setText(Q(vo.LessionName));
    ed_subject->setText(Q(vo.subject));
    ed_grade->setText(Q(vo.grade));
    ed_version->setText(Q(vo.version));
    ed_school->setText(Q(vo.ShcoolName));
    ed_teacher->setText(Q(vo.TeacherName));
    if (inlessonTime.isValid()) {
        dt_record->setDate(inlessonTime);
    }
    bAllowUpload = bCanAllowUpload;
    ck_upload->setVisible(bCanAllowUpload);
}

void TF_DoMp4::PickImage(bool bTail) {
    const QString file =
        imagePicker
            ? imagePicker(this)
            : QFileDialog::getOpenFileName(this, QStringLiteral("选择图片作为视频源"), QString(),
                                           QStringLiteral("JPEG Image File (*.jpg *.jpeg)"));
    if (file.isEmpty()) {
        return;
    }
    // A refused picture leaves the previous choice in place.
    if (!CheckCardImage(ConvertMode.nW, ConvertMode.nH, S(file))) {
        return;
    }
    (bTail ? sTailImage : sHeadImage) = S(file);
    (bTail ? lab_tailImage : lab_headImage)->setText(file);
}

TCardForm TF_DoMp4::Form() const {
    TCardForm form;
    form.nPage = PC_Head->currentIndex();
    form.nHeadSeconds = cb_head->currentIndex();
    form.nTailSeconds = cb_tail->currentIndex();
    form.nImageHeadSeconds = cb_imageHead->currentIndex();
    form.nImageTailSeconds = cb_imageTail->currentIndex();
    form.sContent = S(ed_content->text());
    form.sSubject = S(ed_subject->text());
    form.sGrade = S(ed_grade->text());
    form.sVersion = S(ed_version->text());
    form.sSchool = S(ed_school->text());
    form.sTeacher = S(ed_teacher->text());
    form.sMaker = S(ed_maker->text());
    const QDate date = dt_record->date();
    form.nYear = date.year();
    form.nMonth = date.month();
    form.nDay = date.day();
    form.sHeadImage = sHeadImage;
    form.sTailImage = sTailImage;
    return form;
}

void TF_DoMp4::StartBuild() {
    if (nInState != 0) {
        return;
    }
    if (!replayRunning || !replayRunning()) {
        Trace("MP4: replay is not running");
        return;
    }
    const TBuildRequest request = MakeBuildRequest(Form(), voInfo);
    Mp4Thread = std::make_unique<TMp4Thread>(paths);
    const int opened = Mp4Thread->initialize(
        request.nType, request.lesson, request.maker, request.head, request.tail,
        request.nSecondHead, request.nSecondTrail, nAudioDelay, ConvertMode, sMp4FileName);
    if (opened != 0) {
        Mp4Thread.reset();
        ShowMessage("读取录像源文件失败，无法生成MP4文件。", TMsgIcon::Error);
        return;
    }
    nInState = 1;
    bar->setValue(0);
    Mp4Thread->Start();
    btn_start->setEnabled(false);
    timer->start();
}

void TF_DoMp4::Tick() {
    if (nInState == 1) {
        TickBuilding();
    } else if (nInState == 2) {
        TickUploading();
    } else {
        timer->stop();
    }
}

void TF_DoMp4::TickBuilding() {
    const int pos = Mp4Thread->GetCurrentPos();
    if (pos >= 0) {
        bar->setValue(pos);
        return;
    }
    bar->setValue(100);
    nMp4TotalFrame = Mp4Thread->GetTotalMp4Frames();
    const int result = Mp4Thread->GetResult();
    EndBuilder();
    if (result != 0) {
        // Stop first: a message box runs its own event loop, and the timer
        // would report the same end again underneath it.
        timer->stop();
        nInState = 0;
        btn_start->setEnabled(true);
        ShowMessage(Mp4FailureText(result), TMsgIcon::Error);
        return;
    }
    ShellOpen(std::filesystem::path(sMp4FileName).parent_path().string());
    bNeedTransfer = bCanTransfer && bAllowUpload && ck_upload->isChecked();
    if (!bNeedTransfer) {
        Finish(QDialog::Accepted);
        return;
    }
    nInState = 2;
    StartUpload();
}

void TF_DoMp4::StartUpload() {
    Upload = std::make_unique<TParseMp4>();
    const int opened =
        Upload->initizlize(sMp4FileName, IP, Port, LiveID, LiveType, UserID, LiveToken);
    if (opened == 0) {
        Upload->Start();
        bar->setValue(0);
        return;
    }
    timer->stop();
    EndUpload();
    ShowMessage(UploadStartFailure(opened, sMp4FileName), TMsgIcon::Error);
    Finish(QDialog::Accepted);
}

void TF_DoMp4::TickUploading() {
    const int a = Upload->GetCurrentPos();
    // A protocol error reads -1 for the moment before the transfer turns it
    // into its final code; that -1 must not pass for success.
    if (a == -1 && Upload->Transfer() != nullptr && Upload->Transfer()->GetLastError() != 0) {
        return;
    }
    if (a >= 0) {
        bar->setValue(UploadPercent(a, nMp4TotalFrame));
        return;
    }
    timer->stop();
    TUploadOutcome outcome;
    if (UploadOutcome(a, outcome)) {
        ShowMessage(outcome.text, outcome.icon);
    }
    Finish(QDialog::Accepted);
}

void TF_DoMp4::Finish(int result) {
    timer->stop();
    bar->setValue(100);
    btn_start->setEnabled(true);
    EndUpload();
    done(result);
}

void TF_DoMp4::done(int r) {
    // Closing ends whatever still runs; an unfinished MP4 is not left behind.
    timer->stop();
    EndBuilder();
    EndUpload();
    nInState = 0;
    btn_start->setEnabled(true);
    QDialog::done(r);
}

void TF_DoMp4::EndBuilder() {
    if (Mp4Thread) {
        Mp4Thread->Terminate();
        Mp4Thread->WaitFor();
        Mp4Thread.reset();
    }
}

void TF_DoMp4::EndUpload() {
    if (Upload) {
        Upload->Destroy();
        Upload.reset();
    }
}

} // namespace tavrin
