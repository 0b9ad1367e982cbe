#include "services/sound/SoundStreams.h"

#include "kernel/base/Archive.h"
#include "platform/sound/SoundDevice.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

namespace {

constexpr auto STREAM_PERIOD = std::chrono::milliseconds(100);

class StreamThread {
public:
    void Start() {
        const std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_Thread.joinable() || m_Stopping) return;
        m_Thread = std::thread([this] { Run(); });
    }
    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(m_Mutex);
            m_Stopping = true;
        }
        m_Wake.notify_all();
        if (m_Thread.joinable()) m_Thread.join();
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_Mutex);
        while (!m_Wake.wait_for(lock, STREAM_PERIOD, [this] { return m_Stopping; })) {
            lock.unlock();
            Sound_RunStreams();
            lock.lock();
        }
    }

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::thread m_Thread;
    bool m_Stopping = false;
};

// Made once and never destroyed: it must outlive every other static of the
// layer, whose end stops it.
StreamThread& TheStreamThread() {
    static StreamThread* thread = new StreamThread();
    return *thread;
}

bool IsHalfFree(const CQVStreamSoundBuffer* stream, uint32_t playCursor) {
    return stream->currentHalf == 0 ? playCursor > stream->halfSize : playCursor < stream->halfSize;
}

// Fills the half the thread refills next and turns to the other.
void FillNextHalf(CQVStreamSoundBuffer* stream, bool silence) {
    stream->rewound = false;
    Sound_FillHalf(stream, stream->currentHalf, silence);
    stream->bytesStreamed += stream->halfSize;
    stream->currentHalf ^= 1;
}

}  // namespace

void Sound_StartStreamThread() { TheStreamThread().Start(); }
void Sound_StopStreamThread() { TheStreamThread().Stop(); }

void Sound_EvenOutHalves(uint32_t byteRate, uint32_t blockAlign, uint32_t dataBytes, uint32_t* halfSize,
                         uint32_t* dataSize) {
    uint32_t half = byteRate;
    uint32_t data = dataBytes;
    const uint32_t halves = half != 0 ? data / half : 0;
    if (halves >= 1) {
        // The leftover part of a half is spread over the whole halves, so
        // that the data ends with a half; what still remains is not played.
        half += (data % half) / halves;
        if (half & 1) half -= 1;
        // Each half holds whole sample frames (two 16-bit channels make
        // four bytes), so that both halves start on a frame.
        if (blockAlign > 1) half = half / blockAlign * blockAlign;
        data = half * halves;
    }
    *halfSize = half;
    *dataSize = data;
}

void Sound_ListStream(CQVStreamSoundBuffer* stream) {
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    stream->next = g_SoundState.streamList;
    g_SoundState.streamList = stream;
    ++g_SoundState.streamCount;
}

void Sound_UnlistStream(CQVStreamSoundBuffer* stream) {
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    for (CQVStreamSoundBuffer** link = &g_SoundState.streamList; *link != nullptr; link = &(*link)->next) {
        if (*link == stream) {
            *link = stream->next;
            --g_SoundState.streamCount;
            break;
        }
    }
    stream->next = nullptr;
}

uint32_t Sound_GetStreamCount() {
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    return g_SoundState.streamCount;
}

bool Sound_FillHalf(CQVStreamSoundBuffer* stream, uint32_t half, bool silence) {
    PlatformSoundBuffer* buffer = stream->buffer;
    auto* bytes = static_cast<uint8_t*>(buffer->Lock(half * stream->halfSize, stream->halfSize));
    if (bytes == nullptr) return Sound_SetError("Locking Sound Buffer") != 0;
    uint32_t read = 0;
    if (!silence) {
        // Never past the data that streams: a short file's second half, or
        // the bytes that evening out left over, are silence.
        const int64_t position = stream->file->Tell();
        const int64_t dataEnd = static_cast<int64_t>(stream->dataStart) + stream->dataSize;
        const int64_t available = std::clamp<int64_t>(dataEnd - position, 0, stream->halfSize);
        read = stream->file->SerializeBytes(bytes, static_cast<uint32_t>(available));
    }
    const uint8_t quiet = buffer->GetFormat().bitsPerSample == 8 ? 0x80 : 0x00;
    std::memset(bytes + read, quiet, stream->halfSize - read);
    if (!buffer->Unlock(half * stream->halfSize, stream->halfSize)) return Sound_SetError("Unlock Sound Buffer") != 0;
    return true;
}

bool Sound_RewindStream(CQVStreamSoundBuffer* stream) {
    stream->file->Seek(static_cast<int32_t>(stream->dataStart), FILE_SEEK_SET);
    stream->currentHalf = 0;
    const bool filled = Sound_FillHalf(stream, 0, false) && Sound_FillHalf(stream, 1, false);
    stream->bytesStreamed = 2 * stream->halfSize;
    stream->rewound = true;
    return filled;
}

void Sound_RefillStream(CQVStreamSoundBuffer* stream, uint32_t playCursor) {
    while (IsHalfFree(stream, playCursor)) {
        if (stream->bytesStreamed + stream->halfSize <= stream->dataSize) {
            FillNextHalf(stream, false);
            return;
        }
        if (stream->loop) {
            stream->file->Seek(static_cast<int32_t>(stream->dataStart), FILE_SEEK_SET);
            stream->bytesStreamed = 0;
            // Data shorter than a half never fills one: each half then
            // starts with the whole data, padded with silence, instead of
            // starting over without end.
            if (stream->dataSize < stream->halfSize) {
                FillNextHalf(stream, false);
                return;
            }
            continue;
        }
        if (stream->bytesStreamed <= stream->dataSize + 2 * stream->halfSize) {
            FillNextHalf(stream, true);
            continue;
        }
        // Both halves of silence have played. The lock stays held while the
        // stream stops, so its owner cannot release it halfway.
        Sound_Stop(stream);
        return;
    }
}

void Sound_RunStreams() {
    const std::lock_guard<std::recursive_mutex> lock(g_SoundLock);
    CQVStreamSoundBuffer* next = nullptr;
    for (CQVStreamSoundBuffer* stream = g_SoundState.streamList; stream != nullptr; stream = next) {
        next = stream->next;
        Sound_RefillStream(stream, stream->buffer->GetCurrentPosition());
    }
}
