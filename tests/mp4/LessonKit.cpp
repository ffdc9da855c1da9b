#include "tests/mp4/LessonKit.h"

#include "base/MediaFrame.h"
#include "output/LessonStoreFormat.h"
#include "tests/base/TempDir.h"
#include "tests/output/StoreTestKit.h"
#include "tests/support/TestMedia.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tavrin::test {

namespace {

bool Skipped(const std::vector<int>& skip, int i) {
    return std::find(skip.begin(), skip.end(), i) != skip.end();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace

int TMediaLesson::VideoCount(const std::vector<int>& skip) const {
    int n = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
        for (const auto& f : blocks[b]) {
            n += (!Skipped(skip, int(b)) && f[0] != kFrameAAC) ? 1 : 0;
        }
    }
    return n;
}

int TMediaLesson::AudioCount(const std::vector<int>& skip) const {
    int n = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
        for (const auto& f : blocks[b]) {
            n += (!Skipped(skip, int(b)) && f[0] == kFrameAAC) ? 1 : 0;
        }
    }
    return n;
}

std::string TMediaLesson::VideoStream(const std::vector<int>& skip) const {
    std::string out;
    for (size_t b = 0; b < blocks.size(); ++b) {
        for (const auto& f : blocks[b]) {
            if (!Skipped(skip, int(b)) && f[0] != kFrameAAC) {
                out.append(reinterpret_cast<const char*>(f.data()) + kMediaFrameHeadSize,
                           f.size() - kMediaFrameHeadSize);
            }
        }
    }
    return out;
}

TMediaLesson WriteMediaLesson(const TGetLessionInfo& paths, int32_t lesson, int w, int h,
                              int seconds, const std::vector<int>& deleted) {
    TempDir scratch;
    MakeTestAdts(scratch.File("a.aac"), seconds + 1);
    auto audio = ReadMediaFrames(scratch.File("a.aac"));
    // As much sound as pictures, as the recorder stores it.
    audio.resize(std::min(audio.size(), size_t(seconds) * 48000 / 1024));
    const auto video = EncodeTestVideo(w, h, 25 * seconds);
    TMediaLesson made;
    // The recorder opens its first block at the first key picture.
    for (const auto& frame : Interleave(video, audio)) {
        if (frame[0] == kFrameH264Key) {
            made.blocks.emplace_back();
        }
        if (!made.blocks.empty()) {
            made.blocks.back().push_back(frame);
        }
    }
    std::vector<uint8_t> av;
    std::vector<TIndex_IBlock> table;
    TIndex_Count count{};
    for (size_t b = 0; b < made.blocks.size(); ++b) {
        TIndex_IBlock entry{};
        entry.pos = uint32_t(av.size());
        for (const auto& f : made.blocks[b]) {
            av.insert(av.end(), f.begin(), f.end());
            (f[0] == kFrameAAC ? entry.AudioCount : entry.VideoCount)++;
        }
        entry.Length = uint32_t(av.size()) - entry.pos;
        entry.DeleteFlag = Skipped(deleted, int(b)) ? 1 : 0;
        count.VideoCount += entry.VideoCount;
        count.AudioCount += entry.AudioCount;
        table.push_back(entry);
    }
    count.IBlockCount = int32_t(table.size());
    WriteStore(paths, lesson, count, table, av, w, h);
    return made;
}

std::vector<std::string> ProbePackets(const std::string& file, const std::string& stream) {
    std::string out;
    Capture("ffprobe -v error -select_streams " + stream +
                " -show_entries packet=pts_time,flags -of csv=p=0 '" + file + "'",
            out);
    return Lines(out);
}

std::vector<std::string> ProbeFrameSizes(const std::string& file) {
    std::string out;
    Capture(
        "ffprobe -v error -select_streams v -show_entries frame=width,height -of csv=p=0:s=x '" +
            file + "'",
        out);
    std::vector<std::string> sizes = Lines(out);
    for (std::string& s : sizes) { // csv ends each line with a separator
        while (!s.empty() && (s.back() == 'x' || s.back() == '\r')) {
            s.pop_back();
        }
    }
    return sizes;
}

std::vector<std::string> FrameHashes(const std::string& file, const std::string& format) {
    std::string out;
    Capture("ffmpeg -nostdin -v error " + (format.empty() ? "" : "-f " + format) + " -i '" + file +
                "' -map 0:v -f framemd5 - | grep -v '^#' | awk -F, '{print $6}'",
            out);
    return Lines(out);
}

} // namespace tavrin::test
