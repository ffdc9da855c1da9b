// The monitor and replay sound output: PCM of any length is cut into a ring
// of fixed-size blocks, every full block is queued to the default audio
// device, and the device hands blocks back once it has played them. The
// number of blocks still queued bounds the monitor latency.
#pragma once

#include <SDL.h>
#include <atomic>
#include <cstdint>
#include <vector>

namespace tavrin {

struct TWaveBlockCount {
    int32_t kvx_fillCount = 0;        // appends into a block
    int32_t kvx_UnPrepareCount = 0;   // blocks handed back by the device
    int32_t kvx_PlayPrepareCount = 0; // blocks queued so far
};

class TWavePlayer {
public:
    TWavePlayer();
    ~TWavePlayer() { Destroy(); }
    TWavePlayer(const TWavePlayer&) = delete;
    TWavePlayer& operator=(const TWavePlayer&) = delete;

    void Create(uint8_t blockCount);
    // Opens the default device; buffSize is the block length in sample frames.
    bool OpenWaveDev(int channels, int bitsPerSamle, int samplePerSec, int buffSize);
    // Appends PCM; true when everything was stored. Only full blocks play; a
    // full ring drops the rest.
    bool PushStreamData(const uint8_t* data, uint32_t size);
    // Blocks queued to the device and not played yet.
    int GetRemainCount();
    int GetBlockCount(TWaveBlockCount& xWaveBlockCount);
    void CloseWaveDev();
    void Destroy();

    bool IsOpen() const { return m_bPlayStatus; }
    uint32_t BlockSize() const { return m_iBlockSize; }
    // Bytes waiting in the partly filled block.
    uint32_t PendingBytes() const;
    // The SDL device, so a caller can hold its callback with SDL_LockAudioDevice.
    SDL_AudioDeviceID DeviceId() const { return m_hWaveOut; }

    // The device's read: copies queued blocks in order into stream, hands
    // every block back once it is fully read, and fills the rest with
    // silence. Runs on the device thread.
    void FillDevice(Uint8* stream, int len);

private:
    struct TWaveBlock {
        uint8_t* lpData = nullptr;
        uint32_t dwBufferLength = 0;
        uint32_t dwUser = 0;                // bytes filled
        std::atomic<bool> bPrepared{false}; // queued to the device
    };

    static void SDLCALL CompletionCallback(void* userdata, Uint8* stream, int len);
    void ReleaseBlock(uint16_t index);

    uint16_t m_iCurrentBlock = 0;
    uint16_t m_iBlockSize = 0;
    uint8_t m_iBlockCount = 0;
    bool m_bPlayStatus = false;
    SDL_AudioDeviceID m_hWaveOut = 0;
    std::vector<TWaveBlock> m_pWaveBlock;
    std::vector<uint8_t> m_BlockData; // the data areas of all blocks, one allocation
    SDL_AudioSpec m_wfx{};
    uint32_t xFreeCountByUnpre = 0;
    TWaveBlockCount WaveBlockCount;

    // Blocks in the order they were queued, and how far the device has read
    // the first one; changed only under the player lock.
    std::vector<uint16_t> m_PlayOrder;
    uint16_t m_PlayHead = 0;
    uint16_t m_PlayQueued = 0;
    uint32_t m_PlayOffset = 0;
    bool m_bAudioStarted = false;
};

} // namespace tavrin
