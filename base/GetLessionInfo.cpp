#include "base/GetLessionInfo.h"

#include "base/Text.h"

#include <string_view>

namespace tavrin {

namespace {

// Matched by position: kAsciiSigns[i] becomes kFullWidthSigns[i].
constexpr std::u32string_view kAsciiSigns = U"~!@#$%&*()_+=-`{}|[]\\:\"<>?;/.,'";
constexpr std::u32string_view kFullWidthSigns =
    U"\uFF5E\uFF01\uFF20\uFF03\uFFE5\uFF05\uFF06\u00D7\uFF08\uFF09\u2014\uFF0B\uFF1D\uFF0D"
    U"\uFF40\uFF5B\uFF5D\uFF5C\u3010\u3011\uFF3C\uFF1A\u201C\u300A\u300B\uFF1F\uFF1B\uFF0F"
    U"\u3002\uFF0C\u2018";
static_assert(kAsciiSigns.size() == 31 && kFullWidthSigns.size() == 31);

constexpr char kSep = '/';

std::string Sanitized(std::string text) {
    ToFullWidthSigns(text);
    return text;
}

// One white drawtext of a card.
std::string CardLine(int fontSize, const std::string& text, int y) {
    return "drawtext=fontfile=sy.otf:fontcolor=white:fontsize=" + std::to_string(fontSize) +
           ":text='" + text + "':x=160:y=" + std::to_string(y);
}

} // namespace

int ToFullWidthSigns(std::string& s) {
    std::u32string text = Utf8ToCodePoints(s);
    int replaced = 0;
    for (char32_t& c : text) {
        const size_t at = kAsciiSigns.find(c);
        if (at != std::u32string_view::npos) {
            c = kFullWidthSigns[at];
            ++replaced;
        }
    }
    if (replaced > 0) {
        s = CodePointsToUtf8(text);
    }
    return replaced;
}

void TGetLessionInfo::initialize(const std::string& sRoot, const std::string& sUserName) {
    sRootPath = sRoot;
    sUserID = sUserName;
}

void TGetLessionInfo::Get_UserID(std::string& out) const {
    out = sUserID;
}

void TGetLessionInfo::Get_UserDir(std::string& out) const {
    out = sRootPath + kSep + sUserID + kSep;
}

void TGetLessionInfo::Get_CaptureDir(int32_t nLessionID, std::string& out) const {
    Get_UserDir(out);
    out += IntToStr(nLessionID) + kSep;
}

void TGetLessionInfo::Get_IndexFile(int32_t nLessionID, std::string& out) const {
    Get_CaptureDir(nLessionID, out);
    out += "index.dat";
}

void TGetLessionInfo::Get_AVDataFile(int32_t nLessionID, std::string& out) const {
    Get_CaptureDir(nLessionID, out);
    out += "av.dat";
}

void TGetLessionInfo::Get_TempDir(int32_t /*nLessionID*/, std::string& out) const {
    Get_UserDir(out);
    out += std::string("temp") + kSep;
}

void TGetLessionInfo::Get_AACFile(int32_t nLessionID, std::string& out) const {
    Get_TempDir(nLessionID, out);
    out += IntToStr(nLessionID) + ".aac";
}

void TGetLessionInfo::Get_H264File(int32_t nLessionID, std::string& out) const {
    Get_TempDir(nLessionID, out);
    out += IntToStr(nLessionID) + ".h264";
}

void TGetLessionInfo::Get_OutputDir(int32_t /*nLessionID*/, std::string& out) const {
    Get_UserDir(out);
    out += std::string("output") + kSep;
}

void TGetLessionInfo::Get_MP4File(TLessionInfo& lesson, std::string& out) const {
    tavrin::ToFullWidthSigns(lesson.TeacherName);
    tavrin::ToFullWidthSigns(lesson.LessionName);
    Get_OutputDir(lesson.LessionID, out);
    out +=
        lesson.TeacherName + "-" + lesson.LessionName + "-" + IntToStr(lesson.LessionID) + ".mp4";
}

void TGetLessionInfo::Get_WaterMark_inCapture(const TLessionInfo& lesson, int nResolution,
                                              std::string& out) const {
    const std::string name = Sanitized(lesson.LessionName);
    if (nResolution != 0) {
        out = "[in]drawtext=fontfile=sy.otf:fontcolor=gray:fontsize=39:text='" + name + "'" +
              ":x=15:y=1026[out]";
    } else {
        out = "[in]drawtext=fontfile=sy.otf:fontcolor=gray:fontsize=26:text='" + name + "'" +
              ":x=10:y=684[out]";
    }
}

void TGetLessionInfo::Get_WaterMark(TLessionInfo& lesson, int nResolution, std::string& out) const {
    for (std::string* field : {&lesson.LessionName, &lesson.subject, &lesson.grade, &lesson.version,
                               &lesson.ShcoolName, &lesson.TeacherName}) {
        tavrin::ToFullWidthSigns(*field);
    }
    const bool hd = nResolution != 0;
    const bool withVersion = !lesson.version.empty();
    const int fontSize = hd ? 48 : 36;
    const int pitch = hd ? 102 : 68;
    int y = withVersion ? (hd ? 189 : 155) : (hd ? 291 : 223);

    std::string lines[6];
    int count = 0;
    lines[count++] = "内容：" + lesson.LessionName;
    lines[count++] = "科目：" + lesson.subject;
    lines[count++] = "年级：" + lesson.grade;
    if (withVersion) {
        lines[count++] = "版本：" + lesson.version;
    }
    lines[count++] = "单位：" + lesson.ShcoolName;
    lines[count++] = "教师：" + lesson.TeacherName;

    out = "[in]";
    for (int i = 0; i < count; ++i, y += pitch) {
        out += CardLine(fontSize, lines[i], y);
        out += (i + 1 < count) ? "," : "[out]";
    }
}

void TGetLessionInfo::Get_WaterMark_backcover(const TMakerInfo& maker, int nResolution,
                                              std::string& out) const {
    const bool hd = nResolution != 0;
    const int fontSize = hd ? 48 : 36;
    // Label and field are joined first and sanitized together.
    out = "[in]" + CardLine(fontSize, Sanitized("录制时间：" + maker.Timer), 291) + "," +
          CardLine(fontSize, Sanitized("制作单位：" + maker.Maker), hd ? 393 : 359) + "[out]";
}

} // namespace tavrin
