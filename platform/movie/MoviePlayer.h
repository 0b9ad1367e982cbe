#pragma once
// A movie played against a clock: a worker thread decodes a few frames
// ahead; video frames go to a sink on the worker as they come due (video
// textures) or are taken by the caller (full-screen movies); audio goes to
// an audio sink while the movie runs. Run, Stop and Rewind come from the
// caller's thread.

#include "platform/movie/Movie.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Receives video frames on the player's worker thread.
class MovieVideoSink {
public:
    virtual ~MovieVideoSink() = default;
    virtual void ShowFrame(const MovieVideoFrame& frame) = 0;
};

// Receives audio on the player's worker thread, in the movie's rate and
// channel count; every call comes from that thread.
class MovieAudioSink {
public:
    virtual ~MovieAudioSink() = default;
    virtual void Queue(const int16_t* samples, size_t frames) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // Drops what is queued and not yet heard.
    virtual void Flush() = 0;
    // Called every few milliseconds while the movie runs, to keep the
    // sound device fed.
    virtual void Service() = 0;
};

enum MovieState { MOVIE_STOPPED, MOVIE_RUNNING, MOVIE_ENDED };

class MoviePlayer {
public:
    // Seconds of a steadily rising clock.
    using Clock = std::function<double()>;

    // Frames go to videoSink when it is given, else they wait for TakeFrame.
    // Either sink may be null. The player starts stopped at position 0.
    MoviePlayer(std::unique_ptr<PlatformMovie> movie, Clock clock, MovieVideoSink* videoSink,
                MovieAudioSink* audioSink);
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    const MovieInfo& GetInfo() const { return m_Movie->GetInfo(); }
    void Run();
    void Stop();
    // Stopped at position 0. Once it returns, no frame decoded before it
    // reaches the sink.
    void Rewind();
    // Running until the last frame is shown; then ended, the last frame kept.
    MovieState GetState();
    // Seconds since the start of the movie by the clock.
    double GetPosition();
    // The file's duration (an estimate in some containers), or the end of
    // the last frame once the end has been decoded, whichever is later.
    double GetDuration();

    // Takes the newest frame due at the position (older due frames are
    // dropped), waiting for the worker while it has not decoded that far.
    // False when no frame came due since the last call.
    bool TakeFrame(MovieVideoFrame* frame);
    // The time of the next frame not yet taken or shown, or -1 when none is
    // decoded (waits for the worker as TakeFrame does).
    double GetNextFrameTime();
    // The clock moved without real time passing (tests with their own clock).
    void Wake();

private:
    void Work();
    // Marks a change by the caller and wakes every waiter; lock held.
    void Notify();
    double PositionLocked() const;
    bool DecodeOne(std::unique_lock<std::mutex>& lock);
    void DeliverDue(std::unique_lock<std::mutex>& lock);
    // Waits until the queue holds a frame after the position, or the end.
    void WaitForDecoded(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<PlatformMovie> m_Movie;
    Clock m_Clock;
    MovieVideoSink* m_VideoSink;
    MovieAudioSink* m_AudioSink;

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::deque<MovieVideoFrame> m_Frames;
    std::deque<MovieAudioChunk> m_Audio;
    bool m_Running = false;
    bool m_EndOfStream = false;
    bool m_Quit = false;
    bool m_RewindPending = false;
    bool m_Delivering = false;
    bool m_AudioPlaying = false;  // what the worker last told the audio sink
    uint32_t m_Generation = 0;
    uint64_t m_Changes = 0;  // changes made by the caller, so the worker misses none
    double m_PositionAtRun = 0.0;
    double m_ClockAtRun = 0.0;
    double m_LastFrameEnd = 0.0;
    double m_LastAudioTime = 0.0;
    std::thread m_Worker;
};
