// The lesson chooser's table: date filters, the fourteen columns and a
// model over the platform client's lesson list.
#pragma once

#include "platform/DateTime.h"
#include "platform/PlatformTypes.h"

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace tavrin {

// Date filter values of the chooser.
enum TDateFilter : int {
    kFilterToday = 0,
    kFilterBeforeAWeek = 1,
    kFilterAfterAWeek = 2,
    kFilterYesterday = 3,
    kFilterTomorrow = 4,
    kFilterPastWeek = 5,
    kFilterNextWeek = 6,
    kFilterAll = 7,
};

// Whether a lesson on date L passes the filter, with C the platform's date.
bool PassesDateFilter(int filter, const TDateTime& lesson, const TDateTime& current);
// The filter that shows a lesson d = L - C days away.
int FilterForDays(int64_t days);

struct TLessonColumn {
    const char* header;
    int width; // 0: the list's default
    bool rightAligned;
};
inline constexpr int kLessonColumnCount = 14;
extern const TLessonColumn kLessonColumns[kLessonColumnCount];
inline constexpr int kColumnLessonID = 10;
inline constexpr int kColumnLocal = 11;

// The text of one cell.
QString LessonCell(const Tvo_FromServer& vo, int column, const TDateTime& current, bool local);

// Lesson numbers with a folder in the user's folder: every subfolder whose
// name is a decimal number.
std::set<int32_t> LocalLessonIDs(const std::string& userDir);

class TLessonTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetSource(const std::vector<Tvo_FromServer>* list, const TDateTime& current,
                   std::set<int32_t> localIDs);
    // Rows of the lessons that pass the filter, in list order.
    void Fill(int filter);
    void Clear();

    const Tvo_FromServer* LessonAt(int row) const;
    int RowOf(int32_t lessonID) const;
    bool IsLocal(int32_t lessonID) const { return localIDs_.count(lessonID) != 0; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<Tvo_FromServer>* list_ = nullptr;
    TDateTime current_;
    std::set<int32_t> localIDs_;
    std::vector<size_t> rows_;
};

} // namespace tavrin
