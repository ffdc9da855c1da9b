// The re-encoding audio path of the file producers: a compressed audio
// packet is decoded to PCM, the AAC encoder takes the samples, and the
// frames it returns go to the producer's frame list. An encoder frame error
// queues the silent frame instead, so the audio clock keeps running.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin {

class TDecodeAudio;
class TEncodeAudio;
class TFrameList;

class TAacRelay {
public:
    // With endOnFrameError a frame error also ends the fetching for this
    // packet (the image producer); otherwise the second fetch still runs.
    TAacRelay(TDecodeAudio& decoder, TEncodeAudio& encoder, TFrameList& out, bool endOnFrameError)
        : Decoder(decoder), Encoder(encoder), Out(out), bEndOnFrameError(endOnFrameError) {}
    TAacRelay(const TAacRelay&) = delete;
    TAacRelay& operator=(const TAacRelay&) = delete;

    // Hands the packet's samples (bytesPerSampleFrame bytes per sample frame
    // of decoded PCM) to the encoder, then fetches up to two frames, the
    // second only while fewer than two were queued in this chunk, never
    // beyond limit. Returns queued plus the frames queued here.
    int Relay(const uint8_t* data, int size, int bytesPerSampleFrame, int queued, int limit);

private:
    TDecodeAudio& Decoder;
    TEncodeAudio& Encoder;
    TFrameList& Out;
    const bool bEndOnFrameError;
    std::vector<uint8_t> encoded; // reused for every frame
};

} // namespace tavrin
