// Where and as whom a lesson's MP4 goes up, as plain values: the platform's
// answers for the lesson, handed over by whoever signed in.
#pragma once

#include <QDate>
#include <cstdint>
#include <string>

namespace tavrin {

struct TUploadTarget {
    bool bScheduled = false; // the lesson is in the signed-in user's schedule
    std::string sServerIp;   // the media server
    int32_t nServerPort = 0;
    std::string sLessonToken;
    int32_t nUserID = 0;
    QDate lessonDate; // invalid when the platform gave none
    bool bAllowUpload = false;
};

} // namespace tavrin
