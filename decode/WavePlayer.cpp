#include "decode/WavePlayer.h"

#include "base/Trace.h"
#include "decode/AlsaLog.h"
#include "decode/SdlHandles.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace tavrin {

namespace {

// Guards the free-block count and the play order of every player; held only
// for a few assignments.
std::mutex& FWaveCountLock() {
    static std::mutex lock;
    return lock;
}

SDL_AudioFormat FormatFor(int bitsPerSample) {
    switch (bitsPerSample) {
    case 8:
        return AUDIO_U8;
    case 16:
        return AUDIO_S16LSB;
    case 32:
        return AUDIO_S32LSB;
    default:
        return 0;
    }
}

} // namespace

TWavePlayer::TWavePlayer() {
    FWaveCountLock();
}

void TWavePlayer::Create(uint8_t blockCount) {
    CloseWaveDev();
    m_iBlockCount = blockCount;
    xFreeCountByUnpre = blockCount;
    m_iCurrentBlock = 0;
}

bool TWavePlayer::OpenWaveDev(int channels, int bitsPerSamle, int samplePerSec, int buffSize) {
    CloseWaveDev();
    const SDL_AudioFormat format = FormatFor(bitsPerSamle);
    const long blockAlign = long(channels) * bitsPerSamle / 8;
    const long blockSize = long(buffSize) * blockAlign;
    // Block sizes are kept in 16 bits; anything larger cannot be played.
    if (format == 0 || channels < 1 || channels > 8 || samplePerSec <= 0 || buffSize <= 0 ||
        blockSize > 0xFFFF || m_iBlockCount == 0) {
        return false;
    }
    SetSdlProcessHints();
    // SDL's ALSA driver would print the library's complaints on the terminal.
    RouteAlsaLogToTrace();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Trace(std::string("wave out: no audio: ") + SDL_GetError());
        ReportNoSoundOutput(SDL_GetError());
        return false;
    }
    m_bAudioStarted = true;

    SDL_AudioSpec want{};
    want.freq = samplePerSec;
    want.format = format;
    want.channels = Uint8(channels);
    want.samples = Uint16(buffSize);
    want.callback = &TWavePlayer::CompletionCallback;
    want.userdata = this;
    // SDL converts when the device wants something else, so the blocks stay
    // in the caller's format.
    m_hWaveOut = SDL_OpenAudioDevice(nullptr, 0, &want, &m_wfx, 0);
    if (m_hWaveOut == 0) {
        Trace(std::string("wave out: device not opened: ") + SDL_GetError());
        ReportNoSoundOutput(SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bAudioStarted = false;
        return false;
    }

    m_iBlockSize = uint16_t(blockSize);
    m_BlockData.assign(size_t(m_iBlockCount) * m_iBlockSize, 0);
    m_pWaveBlock = std::vector<TWaveBlock>(m_iBlockCount);
    for (size_t i = 0; i < m_pWaveBlock.size(); ++i) {
        m_pWaveBlock[i].lpData = m_BlockData.data() + i * m_iBlockSize;
        m_pWaveBlock[i].dwBufferLength = m_iBlockSize;
    }
    m_PlayOrder.assign(m_iBlockCount, 0);
    m_PlayHead = 0;
    m_PlayQueued = 0;
    m_PlayOffset = 0;
    {
        std::lock_guard lock(FWaveCountLock());
        xFreeCountByUnpre = m_iBlockCount;
    }
    m_iCurrentBlock = 0;
    m_bPlayStatus = true;
    SDL_PauseAudioDevice(m_hWaveOut, 0);
    return true;
}

bool TWavePlayer::PushStreamData(const uint8_t* data, uint32_t size) {
    if (!m_bPlayStatus || (data == nullptr && size > 0)) {
        return false;
    }
    while (size > 0) {
        int found = -1;
        for (int i = 0; i < m_iBlockCount; ++i) {
            const int index = (m_iCurrentBlock + i) % m_iBlockCount;
            if (!m_pWaveBlock[size_t(index)].bPrepared.load(std::memory_order_acquire)) {
                found = index;
                break;
            }
        }
        if (found < 0) {
            return false; // the ring is full: the rest is dropped
        }
        TWaveBlock& block = m_pWaveBlock[size_t(found)];
        const uint32_t space = m_iBlockSize - block.dwUser;
        if (size < space) {
            std::memcpy(block.lpData + block.dwUser, data, size);
            block.dwUser += size;
            m_iCurrentBlock = uint16_t(found);
            std::lock_guard lock(FWaveCountLock());
            ++WaveBlockCount.kvx_fillCount;
            return true;
        }
        std::memcpy(block.lpData + block.dwUser, data, space);
        data += space;
        size -= space;
        block.dwUser = m_iBlockSize;
        block.dwBufferLength = m_iBlockSize;
        block.bPrepared.store(true, std::memory_order_release);
        m_iCurrentBlock = uint16_t((found + 1) % m_iBlockCount);
        std::lock_guard lock(FWaveCountLock());
        ++WaveBlockCount.kvx_fillCount;
        --xFreeCountByUnpre;
        ++WaveBlockCount.kvx_PlayPrepareCount;
        m_PlayOrder[(m_PlayHead + m_PlayQueued) % m_iBlockCount] = uint16_t(found);
        ++m_PlayQueued;
    }
    return true;
}

void SDLCALL TWavePlayer::CompletionCallback(void* userdata, Uint8* stream, int len) {
    static_cast<TWavePlayer*>(userdata)->FillDevice(stream, len);
}

void TWavePlayer::FillDevice(Uint8* stream, int len) {
    while (len > 0) {
        uint16_t index = 0;
        {
            std::lock_guard lock(FWaveCountLock());
            if (m_PlayQueued == 0) {
                break;
            }
            index = m_PlayOrder[m_PlayHead];
        }
        const TWaveBlock& block = m_pWaveBlock[index];
        const uint32_t n = std::min<uint32_t>(uint32_t(len), block.dwBufferLength - m_PlayOffset);
        std::memcpy(stream, block.lpData + m_PlayOffset, n);
        stream += n;
        len -= int(n);
        m_PlayOffset += n;
        if (m_PlayOffset == block.dwBufferLength) {
            m_PlayOffset = 0;
            ReleaseBlock(index);
        }
    }
    if (len > 0) {
        // Nothing queued: the device plays silence until the next full block.
        std::memset(stream, m_wfx.silence, size_t(len));
    }
}

void TWavePlayer::ReleaseBlock(uint16_t index) {
    TWaveBlock& block = m_pWaveBlock[index];
    block.dwUser = 0;
    {
        std::lock_guard lock(FWaveCountLock());
        m_PlayHead = uint16_t((m_PlayHead + 1) % m_iBlockCount);
        --m_PlayQueued;
        ++xFreeCountByUnpre;
        ++WaveBlockCount.kvx_UnPrepareCount;
    }
    block.bPrepared.store(false, std::memory_order_release);
}

int TWavePlayer::GetRemainCount() {
    std::lock_guard lock(FWaveCountLock());
    return int(m_iBlockCount) - int(xFreeCountByUnpre);
}

int TWavePlayer::GetBlockCount(TWaveBlockCount& xWaveBlockCount) {
    std::lock_guard lock(FWaveCountLock());
    WaveBlockCount.kvx_UnPrepareCount = 0;
    xWaveBlockCount = WaveBlockCount;
    return int(m_iBlockCount) - int(xFreeCountByUnpre);
}

uint32_t TWavePlayer::PendingBytes() const {
    if (!m_bPlayStatus) {
        return 0;
    }
    const TWaveBlock& block = m_pWaveBlock[m_iCurrentBlock];
    return block.bPrepared.load(std::memory_order_acquire) ? 0 : block.dwUser;
}

void TWavePlayer::CloseWaveDev() {
    if (!m_bPlayStatus) {
        return;
    }
    // Closing stops the device thread, so no callback runs past this point.
    SDL_CloseAudioDevice(m_hWaveOut);
    m_hWaveOut = 0;
    {
        std::lock_guard lock(FWaveCountLock());
        xFreeCountByUnpre = m_iBlockCount;
        m_PlayHead = 0;
        m_PlayQueued = 0;
    }
    m_PlayOffset = 0;
    m_pWaveBlock.clear();
    m_BlockData.clear();
    m_BlockData.shrink_to_fit();
    m_PlayOrder.clear();
    m_bPlayStatus = false;
    if (m_bAudioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bAudioStarted = false;
    }
}

void TWavePlayer::Destroy() {
    CloseWaveDev();
}

} // namespace tavrin
