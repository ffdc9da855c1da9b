// The lesson record shared by the recorder, the MP4 cards and the lesson
// folders, and the maker record of the tail card. Text is UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

struct TLessionInfo {
    int32_t LessionID = -1;
    std::string subject; // subject and volume, joined by one blank
    std::string TeacherName;
    std::string LessionName;
    std::string grade;
    std::string version; // textbook edition; may be empty
    std::string ShcoolName;
};

struct TMakerInfo {
    std::string Maker; // production unit
    std::string Timer; // recording date, e.g. "2026年12月9日"
};

} // namespace tavrin
