// The one object that knows where a lesson's files live under the storage
// root, how free text is made safe for file names and drawtext filters, and
// how the caption and card filter strings are built. Nothing here touches
// the disk.
#pragma once

#include "base/LessionInfo.h"

#include <cstdint>
#include <string>

namespace tavrin {

// Replaces the 31 ASCII signs that are unsafe in a file name or a filter
// description by their full-width forms, in place; returns how many were
// replaced. Works on code points; the blank is kept.
int ToFullWidthSigns(std::string& s);

class TGetLessionInfo {
public:
    void initialize(const std::string& sRoot, const std::string& sUserName);

    void Get_UserID(std::string& out) const;
    void Get_UserDir(std::string& out) const;
    void Get_CaptureDir(int32_t nLessionID, std::string& out) const;
    void Get_IndexFile(int32_t nLessionID, std::string& out) const;
    void Get_AVDataFile(int32_t nLessionID, std::string& out) const;
    void Get_TempDir(int32_t nLessionID, std::string& out) const;
    void Get_AACFile(int32_t nLessionID, std::string& out) const;
    void Get_H264File(int32_t nLessionID, std::string& out) const;
    void Get_OutputDir(int32_t nLessionID, std::string& out) const;
    // Sanitizes lesson.TeacherName and lesson.LessionName in place first.
    void Get_MP4File(TLessionInfo& lesson, std::string& out) const;

    int ToFullWidthSigns(std::string& s) const { return tavrin::ToFullWidthSigns(s); }

    // Grey lesson-name caption of the live programme.
    void Get_WaterMark_inCapture(const TLessionInfo& lesson, int nResolution,
                                 std::string& out) const;
    // Title card; sanitizes the six text fields of lesson in place first.
    void Get_WaterMark(TLessionInfo& lesson, int nResolution, std::string& out) const;
    // Tail card with recording date and production unit.
    void Get_WaterMark_backcover(const TMakerInfo& maker, int nResolution, std::string& out) const;

    const std::string& RootPath() const { return sRootPath; }

private:
    std::string sRootPath;
    std::string sUserID;
};

} // namespace tavrin
