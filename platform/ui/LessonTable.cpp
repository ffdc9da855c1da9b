#include "platform/ui/LessonTable.h"

#include "platform/ui/DecimalText.h"

#include <QBrush>
#include <QColor>
#include <QDate>
#include <filesystem>

namespace tavrin {

const TLessonColumn kLessonColumns[kLessonColumnCount] = {
    {"教师", 120, false},   {"时间", 110, true},       {"距今", 40, true},
    {"星期", 40, true},     {"节次", 0, true},         {"科目", 100, false},
    {"年级", 0, false},     {"课名", 150, false},      {"学校", 180, false},
    {"版本", 100, false},   {"课程编号", 60, true},    {"本地有录像", 70, true},
    {"允许直播", 70, true}, {"允许上传MP4", 80, true},
};

bool PassesDateFilter(int filter, const TDateTime& lesson, const TDateTime& current) {
    const int64_t d = DaysBetween(current, lesson); // L - C
    switch (filter) {
    case kFilterBeforeAWeek:
        return d < -7;
    case kFilterPastWeek:
        return d >= -7 && d < 0;
    case kFilterYesterday:
        return d == -1;
    case kFilterToday:
        return d == 0;
    case kFilterTomorrow:
        return d == 1;
    case kFilterNextWeek:
        return d > 0 && d <= 7;
    case kFilterAfterAWeek:
        return d > 7;
    case kFilterAll:
        return true;
    default:
        return false;
    }
}

int FilterForDays(int64_t d) {
    if (d == 0) {
        return kFilterToday;
    }
    if (d == 1) {
        return kFilterTomorrow;
    }
    if (d >= 2 && d <= 7) {
        return kFilterNextWeek;
    }
    if (d == -1) {
        return kFilterYesterday;
    }
    if (d >= -7 && d <= -2) {
        return kFilterPastWeek;
    }
    return d > 7 ? kFilterAfterAWeek : kFilterBeforeAWeek;
}

namespace {

QString Two(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString DatePart(const TDateTime& t) {
    return QStringLiteral("%1-%2-%3")
        .arg(t.year, 4, 10, QLatin1Char('0'))
        .arg(Two(t.month), Two(t.day));
}

QString TimePart(const TDateTime& t) {
    return Two(t.hour) + ":" + Two(t.minute);
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

QString Yes(bool y) {
    return y ? QStringLiteral("Y") : QString();
}

} // namespace

QString LessonCell(const Tvo_FromServer& vo, int column, const TDateTime& current, bool local) {
    const TDateTime& when = vo.LessionTime;
    switch (column) {
    case 0:
        return Text(vo.LI.TeacherName);
    case 1:
        return DateOf(when) == DateOf(current) ? TimePart(when) + " " + DatePart(when)
                                               : DatePart(when) + " " + TimePart(when);
    case 2: {
        const int64_t d = DaysBetween(current, when);
        if (d == 0) {
            return QStringLiteral("今日");
        }
        return (d < 0 ? QStringLiteral("-") : QStringLiteral("+")) + QString::number(std::abs(d));
    }
    case 3: {
        static const char* const kDays[] = {"一", "二", "三", "四", "五", "六", "日"};
        const int dow = QDate(when.year, when.month, when.day).dayOfWeek(); // 1 = Monday
        return dow >= 1 && dow <= 7 ? QString::fromUtf8(kDays[dow - 1]) : QString();
    }
    case 4:
        return QString::number(vo.LessionNO);
    case 5:
        return Text(vo.LI.subject);
    case 6:
        return Text(vo.LI.grade);
    case 7:
        return Text(vo.LI.LessionName);
    case 8:
        return Text(vo.LI.ShcoolName);
    case 9:
        return Text(vo.LI.version);
    case 10:
        return QString::number(vo.LI.LessionID);
    case 11:
        return Yes(local);
    case 12:
        return Yes(vo.allowLive != 0);
    case 13:
        return Yes(vo.allowUpload != 0);
    default:
        return {};
    }
}

std::set<int32_t> LocalLessonIDs(const std::string& userDir) {
    namespace fs = std::filesystem;
    std::set<int32_t> ids;
    std::error_code ec;
    for (fs::directory_iterator it(userDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) {
            continue;
        }
        int32_t id = 0;
        if (ParseDecimal(QString::fromStdString(it->path().filename().string()), id)) {
            ids.insert(id);
        }
    }
    return ids;
}

void TLessonTableModel::SetSource(const std::vector<Tvo_FromServer>* list, const TDateTime& current,
                                  std::set<int32_t> localIDs) {
    beginResetModel();
    list_ = list;
    current_ = current;
    localIDs_ = std::move(localIDs);
    rows_.clear();
    endResetModel();
}

void TLessonTableModel::Fill(int filter) {
    beginResetModel();
    rows_.clear();
    if (list_ != nullptr) {
        for (size_t i = 0; i < list_->size(); ++i) {
            if (PassesDateFilter(filter, (*list_)[i].LessionTime, current_)) {
                rows_.push_back(i);
            }
        }
    }
    endResetModel();
}

void TLessonTableModel::Clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

const Tvo_FromServer* TLessonTableModel::LessonAt(int row) const {
    if (list_ == nullptr || row < 0 || size_t(row) >= rows_.size()) {
        return nullptr;
    }
    return &(*list_)[rows_[size_t(row)]];
}

int TLessonTableModel::RowOf(int32_t lessonID) const {
    for (size_t r = 0; r < rows_.size(); ++r) {
        if ((*list_)[rows_[r]].LI.LessionID == lessonID) {
            return int(r);
        }
    }
    return -1;
}

int TLessonTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TLessonTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLessonColumnCount;
}

QVariant TLessonTableModel::data(const QModelIndex& index, int role) const {
    const Tvo_FromServer* vo = LessonAt(index.row());
    if (vo == nullptr || index.column() < 0 || index.column() >= kLessonColumnCount) {
        return {};
    }
    const bool local = IsLocal(vo->LI.LessionID);
    switch (role) {
    case Qt::DisplayRole:
        return LessonCell(*vo, index.column(), current_, local);
    case Qt::TextAlignmentRole:
        return int((kLessonColumns[index.column()].rightAligned ? Qt::AlignRight : Qt::AlignLeft) |
                   Qt::AlignVCenter);
    case Qt::BackgroundRole:
        // White rows have a recording on this computer.
        return QBrush(local ? QColor(Qt::white) : QColor(128, 128, 128));
    case Qt::ForegroundRole:
        return QBrush(QColor(Qt::black));
    default:
        return {};
    }
}

QVariant TLessonTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kLessonColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf8(kLessonColumns[section].header);
    }
    if (role == Qt::TextAlignmentRole) {
        return int((kLessonColumns[section].rightAligned ? Qt::AlignRight : Qt::AlignLeft) |
                   Qt::AlignVCenter);
    }
    return {};
}

} // namespace tavrin
