// What the production dialog hands the MP4 builder, without the widgets:
// the card page's fields turned into the builder's arguments, the card
// length lists, the audio shift and the progress of an upload.
#pragma once

#include "base/LessionInfo.h"
#include "mp4/Mp4Thread.h"

#include <string>
#include <vector>

namespace tavrin {

// The card kinds, one page each; the page index is the builder's nType.
enum TCardPage { kStandardCards = 0, kImageCards = 1, kNoCards = 2 };

// Everything typed or picked on the three card pages.
struct TCardForm {
    int nPage = kStandardCards;
    int nHeadSeconds = 5; // standard page lists
    int nTailSeconds = 5;
    int nImageHeadSeconds = 5; // image page lists
    int nImageTailSeconds = 5;
    std::string sContent, sSubject, sGrade, sVersion, sSchool, sTeacher;
    std::string sMaker;
    int nYear = 0, nMonth = 0, nDay = 0; // recording date
    std::string sHeadImage;              // empty: none picked
    std::string sTailImage;
};

// The builder's initialize arguments.
struct TBuildRequest {
    int nType = kNoCards;
    TLessionInfo lesson;
    TMakerInfo maker;
    TheadInfo head;
    TheadInfo tail;
    int nSecondHead = 0;
    int nSecondTrail = 0;
};

// The card texts of the standard page go back into a copy of the lesson.
TBuildRequest MakeBuildRequest(const TCardForm& form, const TLessionInfo& vo);

// 0 ... 15 seconds; entry 5 is the standard length.
std::vector<std::string> CardSecondsEntries();
inline constexpr int kDefaultCardSeconds = 5;

// Replay's audio shift in AAC frames, in milliseconds (positive = later).
inline int AudioDelayMs(int frames) {
    return frames * 21;
}

// "2026年12月9日": no leading zeros.
std::string CardDateText(int year, int month, int day);

// The bar while uploading: frames sent of the MP4's frames, in percent.
int UploadPercent(int sent, int total);

} // namespace tavrin
