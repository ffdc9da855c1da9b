// The programme's two outputs in the pipeline benchmarks: the global clock,
// a lesson store under a scratch root and a live push to an RTMP server.
#pragma once

#include "base/GetLessionInfo.h"
#include "base/GloTimer.h"
#include "output/RtmpSend.h"
#include "output/SaveAV.h"

#include <cstdio>
#include <string>

namespace tavrin::bench {

class TBenchOutputs {
public:
    // Starts the clock, opens lesson 1 of user 1 under storeRoot and starts
    // pushing to url; false (with a message naming who) when the store
    // cannot be opened.
    bool Open(const char* who, const std::string& url, const std::string& storeRoot, int w, int h) {
        clock_.initialize();
        paths_.initialize(storeRoot, "1");
        recorder.Create(paths_);
        if (recorder.NewLession(1, w, h) != 0) {
            std::fprintf(stderr, "%s: no lesson store under %s\n", who, storeRoot.c_str());
            return false;
        }
        sender.initialize(w, h, 0);
        sender.refreshURL(url);
        sender.SetPause(false);
        sender.Start();
        return true;
    }
    // Once the programme has stopped writing into them.
    void Close(TClientSendInfo& sent) {
        sender.GetClientInfo(sent);
        sender.Destroy();
        recorder.EndLession();
    }

    TSaveAV recorder;
    TRtmpSend sender;

private:
    TGloTimer clock_;
    TGetLessionInfo paths_;
};

} // namespace tavrin::bench
