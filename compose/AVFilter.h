// Draws texts into YUV 4:2:0 pictures: one filter graph, built once from a
// description (a chain of drawtext filters between "[in]" and "[out]") for
// one picture size, through which pictures are pushed one at a time. Serves
// the scene texts, the live caption and the MP4 cards.
#pragma once

#include "av/AvPtr.h"

#include <cstdint>
#include <string>

namespace tavrin {

// Points every relative font file named in a filter description at dir
// (where sy.otf lies), escaped for both levels of the description. Values
// that are quoted or escaped already are left alone.
std::string ResolveFontFiles(const std::string& description, const std::string& dir);

// A free text made safe as drawtext's text inside single quotes of a filter
// description (text='...'): escaped for the text expansion, the option list
// and the graph, so that it is drawn exactly as given and cannot end the
// option or the filter early.
std::string DrawTextQuoted(const std::string& text);

class TAVFilter {
public:
    TAVFilter() = default;
    ~TAVFilter() { Destroy(); }
    TAVFilter(const TAVFilter&) = delete;
    TAVFilter& operator=(const TAVFilter&) = delete;

    // Builds the graph for sWaterMark and nW x nH pictures; fonts named
    // without a path are taken from the program's folder. 0, or the FFmpeg
    // error that stopped the build; then every PushFrame fails.
    int initialize(const std::string& sWaterMark, int nW, int nH);
    // The same with fonts resolved in fontDir.
    int initialize(const std::string& sWaterMark, int nW, int nH, const std::string& fontDir);

    // Runs one nW x nH YUV420P picture through the graph. On 0, POutFrame is
    // the filter's output, valid until the caller unreferences it or the
    // next push; otherwise the FFmpeg error.
    int PushFrame(const AVFrame* PInFrame, AVFrame*& POutFrame);
    // The same without copying the input: the graph takes PInFrame's
    // reference (PInFrame is left empty on 0) and, when its buffer is
    // writable, draws into that very buffer. For pictures already in a
    // buffer nobody else reads.
    int PushFrameInPlace(AVFrame* PInFrame, AVFrame*& POutFrame);
    // The rows a description that does not move draws into, found by running
    // a black and a white picture through the graph: false when it draws
    // nothing or cannot run. Leaves the graph's count and stamps as they were.
    bool DrawnRows(int& nFirst, int& nLast);
    // Takes a further picture from the graph's end.
    int GetFrame(AVFrame*& POutFrame);

    void Destroy();

    int64_t EffectCount() const { return nEffectCount; }

private:
    int64_t nEffectCount = 0;
    int nWidth = 0;
    int nHeight = 0;
    AvFramePtr frame_in;
    AvFramePtr frame_out;
    // Input pictures are copied into buffers of this pool: the graph then
    // owns them and draws in place, and no picture buffer is allocated per
    // push once the pool is warm.
    AvBufferPoolPtr frame_buffer_in;
    AvFilterGraphPtr filter_graph;
    AVFilterContext* buffersrc_ctx = nullptr;  // owned by the graph
    AVFilterContext* buffersink_ctx = nullptr; // owned by the graph
    int64_t pts = 0;
    int nBuildResult = AVERROR(EINVAL);
};

} // namespace tavrin
