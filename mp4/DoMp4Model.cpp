#include "mp4/DoMp4Model.h"

#include <algorithm>
#include <cmath>

namespace tavrin {

TBuildRequest MakeBuildRequest(const TCardForm& form, const TLessionInfo& vo) {
    TBuildRequest r;
    r.nType = form.nPage;
    r.lesson = vo;
    switch (form.nPage) {
    case kStandardCards:
        r.nSecondHead = form.nHeadSeconds;
        r.nSecondTrail = form.nTailSeconds;
        r.lesson.LessionName = form.sContent;
        r.lesson.subject = form.sSubject;
        r.lesson.grade = form.sGrade;
        r.lesson.version = form.sVersion;
        r.lesson.ShcoolName = form.sSchool;
        r.lesson.TeacherName = form.sTeacher;
        r.maker.Maker = form.sMaker;
        r.maker.Timer = CardDateText(form.nYear, form.nMonth, form.nDay);
        break;
    case kImageCards:
        r.nSecondHead = form.nImageHeadSeconds;
        r.nSecondTrail = form.nImageTailSeconds;
        r.head.sImageName = form.sHeadImage;
        r.head.nNameLength = int(form.sHeadImage.size());
        r.tail.sImageName = form.sTailImage;
        r.tail.nNameLength = int(form.sTailImage.size());
        break;
    default:
        r.nType = kNoCards;
        break;
    }
    return r;
}

std::vector<std::string> CardSecondsEntries() {
    std::vector<std::string> entries;
    for (int s = 0; s <= 15; ++s) {
        entries.push_back(std::to_string(s) + (s == kDefaultCardSeconds ? " 教育部录课标准" : ""));
    }
    return entries;
}

std::string CardDateText(int year, int month, int day) {
    return std::to_string(year) + "年" + std::to_string(month) + "月" + std::to_string(day) + "日";
}

int UploadPercent(int sent, int total) {
    if (total <= 0) {
        return 0;
    }
    const int percent = int(std::nearbyint(double(sent) * 100.0 / total));
    return std::clamp(percent, 0, 100);
}

} // namespace tavrin
