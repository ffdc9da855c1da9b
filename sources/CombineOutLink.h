// Wires a channel worker's programme output and a source runner's
// disconnect notice to the output pipeline.
#pragma once

#include "compose/CombineOut.h"
#include "sources/SourceLinks.h"

namespace tavrin {

class TCombineOutLink : public IProgrammeLink {
public:
    explicit TCombineOutLink(TCombineOut* out) : out_(out) {}

    int GetIfNeedPushYUV_EX(int nPort, int& DstW, int& DstH, int& nCount) override {
        return out_->GetIfNeedPushYUV_EX(nPort, DstW, DstH, nCount);
    }
    int PushYUVtoCombine(const AVFrame* PYUVData, int nPort, int nCount, int nIndex) override {
        return out_->PushYUVtoCombine(PYUVData, nPort, nCount, nIndex);
    }
    int PushAAC(const uint8_t* PData, int nSize, int nPort,
                const rAudioChannel* pAudioVolume) override {
        return out_->PushAAC(PData, nSize, nPort, pAudioVolume);
    }
    int SetThisPortInError(int nPort) override { return out_->SetThisPortInError(nPort); }

private:
    TCombineOut* out_;
};

} // namespace tavrin
