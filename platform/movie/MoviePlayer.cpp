#include "platform/movie/MoviePlayer.h"

#include <algorithm>
#include <chrono>

namespace {

// Frames decoded ahead of the one showing.
constexpr size_t kFramesAhead = 4;
// Seconds of sound decoded ahead of the position, so the sound device
// never waits; frames decoded meanwhile stay below the cap.
constexpr double kAudioAhead = 0.5;
constexpr size_t kFramesAheadCap = 48;
// ... and below this many bytes of frames, whatever their size.
constexpr uint64_t kFramesAheadBytes = uint64_t{64} << 20;

// The most frames decoded ahead while the sound waits.
size_t FramesAheadCap(const MovieInfo& info) {
    const uint64_t frameBytes = std::max<uint64_t>(1, uint64_t{info.width} * info.height * 4);
    return static_cast<size_t>(std::clamp<uint64_t>(kFramesAheadBytes / frameBytes, kFramesAhead, kFramesAheadCap));
}
// The longest the worker sleeps while running, so a clock that moves
// without waking it is still followed.
constexpr double kLongestWait = 0.01;

}  // namespace

MoviePlayer::MoviePlayer(std::unique_ptr<PlatformMovie> movie, Clock clock, MovieVideoSink* videoSink,
                         MovieAudioSink* audioSink)
    : m_Movie(std::move(movie)), m_Clock(std::move(clock)), m_VideoSink(videoSink), m_AudioSink(audioSink) {
    m_Worker = std::thread([this] { Work(); });
}

MoviePlayer::~MoviePlayer() {
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Quit = true;
        Notify();
    }
    m_Worker.join();
}

double MoviePlayer::PositionLocked() const {
    return m_Running ? m_PositionAtRun + (m_Clock() - m_ClockAtRun) : m_PositionAtRun;
}

void MoviePlayer::Run() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Running) return;
    m_ClockAtRun = m_Clock();
    m_Running = true;
    Notify();
}

void MoviePlayer::Stop() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Running) return;
    m_PositionAtRun = PositionLocked();
    m_Running = false;
    Notify();
}

void MoviePlayer::Rewind() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Running = false;
    m_PositionAtRun = 0.0;
    m_RewindPending = true;
    ++m_Generation;
    m_Frames.clear();
    m_Audio.clear();
    m_EndOfStream = false;
    m_LastFrameEnd = 0.0;
    m_LastAudioTime = 0.0;
    Notify();
    // A frame already on its way to the sink arrives before this returns.
    m_Changed.wait(lock, [this] { return !m_Delivering; });
}

MovieState MoviePlayer::GetState() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!m_Running) return MOVIE_STOPPED;
    const bool shownAll = m_EndOfStream && m_Frames.empty() && m_Audio.empty() && !m_Delivering;
    return shownAll && PositionLocked() >= m_LastFrameEnd ? MOVIE_ENDED : MOVIE_RUNNING;
}

double MoviePlayer::GetPosition() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return PositionLocked();
}

double MoviePlayer::GetDuration() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return std::max(GetInfo().duration, m_EndOfStream ? m_LastFrameEnd : 0.0);
}

bool MoviePlayer::TakeFrame(MovieVideoFrame* frame) {
    if (!GetInfo().hasVideo) return false;
    std::unique_lock<std::mutex> lock(m_Mutex);
    bool taken = false;
    for (;;) {
        const double position = PositionLocked();
        while (!m_Frames.empty() && m_Frames.front().time <= position) {
            *frame = std::move(m_Frames.front());
            m_Frames.pop_front();
            taken = true;
        }
        Notify();
        // A frame after the position means every due frame has been seen.
        if (!m_Frames.empty() || m_EndOfStream || m_Quit) return taken;
        m_Changed.wait(lock);
    }
}

double MoviePlayer::GetNextFrameTime() {
    if (!GetInfo().hasVideo) return -1.0;
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Changed.wait(lock, [this] { return !m_Frames.empty() || m_EndOfStream || m_Quit; });
    return m_Frames.empty() ? -1.0 : m_Frames.front().time;
}

void MoviePlayer::Wake() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    Notify();
}

void MoviePlayer::Notify() {
    ++m_Changes;
    m_Changed.notify_all();
}

bool MoviePlayer::DecodeOne(std::unique_lock<std::mutex>& lock) {
    const uint32_t generation = m_Generation;
    lock.unlock();
    MovieVideoFrame frame;
    MovieAudioChunk chunk;
    const MovieRead read = m_Movie->ReadNext(&frame, &chunk);
    lock.lock();
    // A rewind while decoding makes the result stale.
    if (generation != m_Generation) return false;
    const MovieInfo& info = GetInfo();
    if (read == MOVIE_READ_VIDEO) {
        m_LastFrameEnd = std::max(m_LastFrameEnd, frame.time + (info.frameRate > 0.0 ? 1.0 / info.frameRate : 0.0));
        m_Frames.push_back(std::move(frame));
    } else if (read == MOVIE_READ_AUDIO && m_AudioSink != nullptr && info.audioChannels > 0) {
        const double frames = static_cast<double>(chunk.samples.size() / info.audioChannels);
        m_LastAudioTime = chunk.time + frames / info.audioRate;
        m_LastFrameEnd = std::max(m_LastFrameEnd, m_LastAudioTime);
        m_Audio.push_back(std::move(chunk));
    } else if (read == MOVIE_READ_END) {
        m_EndOfStream = true;
    }
    m_Changed.notify_all();
    return true;
}

void MoviePlayer::DeliverDue(std::unique_lock<std::mutex>& lock) {
    const double position = PositionLocked();
    MovieVideoFrame frame = std::move(m_Frames.front());
    m_Frames.pop_front();
    // Frames the clock has already passed are skipped.
    while (!m_Frames.empty() && m_Frames.front().time <= position) {
        frame = std::move(m_Frames.front());
        m_Frames.pop_front();
    }
    m_Delivering = true;
    lock.unlock();
    m_VideoSink->ShowFrame(frame);
    lock.lock();
    m_Delivering = false;
    m_Changed.notify_all();
}

void MoviePlayer::Work() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (!m_Quit) {
        // Whatever the caller changes from here on (also while the lock is
        // free below) ends the wait at the bottom at once.
        const uint64_t seen = m_Changes;
        if (m_RewindPending) {
            m_RewindPending = false;
            const uint32_t generation = m_Generation;
            lock.unlock();
            const bool rewound = m_Movie->Rewind();
            if (m_AudioSink != nullptr) {
                m_AudioSink->Pause();
                m_AudioSink->Flush();
            }
            lock.lock();
            m_AudioPlaying = false;
            // A file that cannot be read again stays at its end.
            if (!rewound && generation == m_Generation) m_EndOfStream = true;
            continue;
        }
        if (m_AudioSink != nullptr && m_Running != m_AudioPlaying) {
            m_AudioPlaying = m_Running;
            lock.unlock();
            if (m_AudioPlaying) {
                m_AudioSink->Resume();
            } else {
                m_AudioSink->Pause();
            }
            lock.lock();
            continue;
        }
        if (m_Running && m_AudioSink != nullptr && !m_Audio.empty()) {
            std::deque<MovieAudioChunk> chunks = std::move(m_Audio);
            m_Audio.clear();
            const uint32_t channels = GetInfo().audioChannels;
            lock.unlock();
            for (const MovieAudioChunk& chunk : chunks)
                m_AudioSink->Queue(chunk.samples.data(), chunk.samples.size() / channels);
            lock.lock();
            continue;
        }
        const double position = PositionLocked();
        const bool soundWaits = m_AudioSink != nullptr && m_LastAudioTime - position < kAudioAhead;
        const bool roomAhead = GetInfo().hasVideo
                                   ? m_Frames.size() < kFramesAhead ||
                                         (soundWaits && m_Frames.size() < FramesAheadCap(GetInfo()))
                                   : soundWaits;
        // The newest due frame is shown once every due frame is decoded
        // (a frame after the position is queued, or there are no more).
        const bool allDueDecoded =
            m_EndOfStream || !roomAhead || (!m_Frames.empty() && m_Frames.back().time > position);
        if (m_Running && m_VideoSink != nullptr && !m_Frames.empty() && m_Frames.front().time <= position &&
            allDueDecoded) {
            DeliverDue(lock);
            continue;
        }
        if (!m_EndOfStream && roomAhead) {
            DecodeOne(lock);
            continue;
        }
        if (m_Running && m_AudioSink != nullptr) {
            lock.unlock();
            m_AudioSink->Service();
            lock.lock();
        }
        const auto changed = [&] { return m_Changes != seen; };
        if (m_Running) {
            double wait = kLongestWait;
            if (m_VideoSink != nullptr && !m_Frames.empty()) wait = std::min(wait, m_Frames.front().time - position);
            m_Changed.wait_for(lock, std::chrono::duration<double>(std::max(wait, 0.0)), changed);
        } else {
            m_Changed.wait(lock, changed);
        }
    }
    lock.unlock();
    if (m_AudioSink != nullptr) {
        m_AudioSink->Pause();
        m_AudioSink->Flush();
    }
}
