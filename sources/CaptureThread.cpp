#include "sources/CaptureThread.h"

#include "base/GloTimer.h"
#include "base/Trace.h"

#include <exception>

namespace tavrin {

int TCaptureThread::OpenGuarded(const char* what, const std::function<int()>& open) {
    int r = -1;
    try {
        r = open();
    } catch (const std::exception&) {
        Trace(std::string(what) + " ini failed");
        r = -1;
    }
    bIniOK = r == 0;
    bInError = r != 0;
    return r;
}

int TCaptureThread::OpenInput(TCaptureBackend backend, const std::string& url,
                              AVDictionary* options, AVMediaType kind) {
    const int r = OpenCaptureInput(backend, url, options, kind, interrupt, pFormatCtx, streamIndex,
                                   pCodecCtx);
    if (r != 0) {
        return r;
    }
    pFrame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    return pFrame && packet ? 0 : -5;
}

void TCaptureThread::Execute() {
    while (!Terminated()) {
        if (bIniOK) {
            Step();
        }
        SleepMs(5);
    }
}

void TCaptureThread::Step() {
    if (av_read_frame(pFormatCtx.get(), packet.get()) < 0) {
        return; // nothing yet, or the device is gone: the runner notices
    }
    const bool mine = packet->stream_index == streamIndex;
    const int sent = mine ? avcodec_send_packet(pCodecCtx.get(), packet.get()) : -1;
    av_packet_unref(packet.get());
    if (sent < 0) {
        return;
    }
    while (avcodec_receive_frame(pCodecCtx.get(), pFrame.get()) == 0) {
        nLastTime = GetGlobeCount();
        nDecoded.fetch_add(1);
        OnFrame(pFrame.get());
        av_frame_unref(pFrame.get());
    }
}

void TCaptureThread::StopAndClose() {
    interrupt.bStop = true;
    Terminate();
    WaitFor();
    bIniOK = false;
    pCodecCtx.reset();
    pFormatCtx.reset();
    pFrame.reset();
    packet.reset();
    pLink.Clear();
}

} // namespace tavrin
