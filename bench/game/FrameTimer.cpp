// The frame timer the whole-game benchmark preloads into the `game` program
// (LD_PRELOAD). It splits the main thread's time between the engine and the
// GL driver without changing the game:
//
//   - every GL entry point the device asks the toolkit for
//     (SDL_GL_GetProcAddress) is handed back wrapped: the wrapper adds the
//     wall time spent inside the driver to a running sum, and counts calls
//     and draws;
//   - SDL_GL_SwapWindow (the present, where the driver flushes and waits
//     for its rasteriser threads) is timed the same way and ends a frame:
//     each present records the wall clock, the main thread's CPU time, the
//     driver time so far and the counts;
//   - a back-buffer read larger than one pixel (the benchmark level's
//     capture as the game starts) marks the present count there: the frames
//     after it are the level's.
//
// Each entry point's calls and time over the run are kept too.
//
// With QV_FRAME_TIMER_SLOW=ms each frame longer than that is reported on
// standard error with the entry points that took its driver time.
//
// With QV_FRAME_TIMER_FRAMES=N the process ends after its Nth present (for
// data such as the sample, which runs until the player closes it).
//
// The records are written as text to the file QV_FRAME_TIMER_OUT names when
// the process exits (from an exit handler registered at the first present,
// so it runs before the game's own static destructors and the driver's
// exit handlers).
//
// The engine's time in a frame is its wall time outside the driver: the
// main thread does not wait anywhere else (the game runs without vertical
// sync), so that is time the engine computes. Reading the thread's CPU
// clock around every GL call would cost more than many of the calls (over a
// microsecond each here); it is read once a frame, and the benchmark caps
// a frame's engine time by it, which takes out the time the thread lost
// the processor on a busy machine.

#include "platform/graphics/GLFunctions.h"

#include <dlfcn.h>
#include <unistd.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// The toolkit's window, only passed through.
struct SDL_Window;

namespace {

struct FrameRecord {
    double wall;       // CLOCK_MONOTONIC at the end of the present, seconds
    double threadCpu;  // the main thread's CPU time then, seconds
    double driver;     // wall time inside GL calls and presents so far, seconds
    double present;    // of which inside presents
    uint64_t calls;    // GL calls so far
    uint64_t draws;    // draw calls so far
};

struct Totals {
    double driver = 0.0;
    double present = 0.0;
    uint64_t calls = 0;
    uint64_t draws = 0;
};

Totals g_Totals;
std::vector<FrameRecord> g_Frames;
std::vector<size_t> g_Marks;
bool g_ExitHandler = false;

double Now(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Each entry point's calls and time over the whole run, to say which of
// them the driver's time goes to.
struct EntryStat {
    const char* name;
    uint64_t calls = 0;
    double seconds = 0.0;
};

// Adds the wall time of its scope to the driver's sum and to the entry's.
class DriverScope {
public:
    explicit DriverScope(EntryStat* entry) : m_Entry(entry), m_Start(Now(CLOCK_MONOTONIC)) {
        ++g_Totals.calls;
        ++entry->calls;
    }
    ~DriverScope() {
        const double spent = Now(CLOCK_MONOTONIC) - m_Start;
        g_Totals.driver += spent;
        m_Entry->seconds += spent;
    }
    DriverScope(const DriverScope&) = delete;
    DriverScope& operator=(const DriverScope&) = delete;

private:
    EntryStat* m_Entry;
    double m_Start;
};

template <typename Fn>
struct Timed;

template <typename R, typename... A>
struct Timed<R (*)(A...)> {
    template <R (**Real)(A...), EntryStat* Entry>
    static R Call(A... args) {
        DriverScope scope(Entry);
        return (*Real)(args...);
    }
    template <R (**Real)(A...), EntryStat* Entry>
    static R Draw(A... args) {
        ++g_Totals.draws;
        DriverScope scope(Entry);
        return (*Real)(args...);
    }
};

namespace real {
#define QV_TIMER_REAL(type, name) type name = nullptr;
QV_GL_FUNCTIONS(QV_TIMER_REAL)
#undef QV_TIMER_REAL
}  // namespace real

namespace entry {
#define QV_TIMER_ENTRY(type, name) EntryStat name{#name};
QV_GL_FUNCTIONS(QV_TIMER_ENTRY)
#undef QV_TIMER_ENTRY
EntryStat present{"SDL_GL_SwapWindow"};
}  // namespace entry

EntryStat* const kEntries[] = {
#define QV_TIMER_LIST(type, name) &entry::name,
    QV_GL_FUNCTIONS(QV_TIMER_LIST)
#undef QV_TIMER_LIST
    &entry::present,
};

void WriteRecords() {
    const char* path = std::getenv("QV_FRAME_TIMER_OUT");
    if (path == nullptr || *path == 0) return;
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) return;
    std::fprintf(out, "marks");
    for (size_t mark : g_Marks) std::fprintf(out, " %zu", mark);
    std::fprintf(out, "\n");
    for (const EntryStat* e : kEntries) {
        if (e->calls > 0) std::fprintf(out, "entry %s %llu %.9f\n", e->name, static_cast<unsigned long long>(e->calls), e->seconds);
    }
    for (const FrameRecord& f : g_Frames) {
        std::fprintf(out, "%.9f %.9f %.9f %.9f %llu %llu\n", f.wall, f.threadCpu, f.driver, f.present,
                     static_cast<unsigned long long>(f.calls), static_cast<unsigned long long>(f.draws));
    }
    std::fclose(out);
}

// A read of the whole back buffer (not the device's one-pixel probe) marks the level's start.
void APIENTRY MarkingReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                                void* pixels) {
    if (static_cast<int64_t>(width) * height > 1) g_Marks.push_back(g_Frames.size());
    DriverScope scope(&entry::glReadPixels);
    real::glReadPixels(x, y, width, height, format, type, pixels);
}

// With QV_FRAME_TIMER_SLOW=ms, a frame longer than that is reported on
// standard error with the entry points that took most of its driver time.
void ReportSlowFrame() {
    static const double slow = [] {
        const char* text = std::getenv("QV_FRAME_TIMER_SLOW");
        return text ? std::strtod(text, nullptr) / 1000.0 : 0.0;
    }();
    constexpr size_t kCount = sizeof kEntries / sizeof kEntries[0];
    static double before[kCount] = {};
    static uint64_t callsBefore[kCount] = {};
    if (slow <= 0.0) return;
    const size_t n = g_Frames.size();
    if (n >= 2 && g_Frames[n - 1].wall - g_Frames[n - 2].wall > slow) {
        std::fprintf(stderr, "frame timer: frame %zu took %.1f ms:", n - 1,
                     (g_Frames[n - 1].wall - g_Frames[n - 2].wall) * 1000.0);
        for (size_t i = 0; i < kCount; ++i) {
            const double spent = kEntries[i]->seconds - before[i];
            if (spent > 0.002)
                std::fprintf(stderr, " %s %.1f ms (%llu calls)", kEntries[i]->name, spent * 1000.0,
                             static_cast<unsigned long long>(kEntries[i]->calls - callsBefore[i]));
        }
        std::fprintf(stderr, "\n");
    }
    for (size_t i = 0; i < kCount; ++i) {
        before[i] = kEntries[i]->seconds;
        callsBefore[i] = kEntries[i]->calls;
    }
}

template <typename T>
T Next(const char* name) {
    return reinterpret_cast<T>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void* SDL_GL_GetProcAddress(const char* proc) {
    static auto next = Next<void* (*)(const char*)>("SDL_GL_GetProcAddress");
    void* found = next ? next(proc) : nullptr;
    if (found == nullptr || proc == nullptr) return found;
    if (std::strcmp(proc, "glReadPixels") == 0) {
        real::glReadPixels = reinterpret_cast<PFNGLREADPIXELSPROC>(found);
        return reinterpret_cast<void*>(&MarkingReadPixels);
    }
#define QV_TIMER_WRAP(type, name)                                                                   \
    if (std::strcmp(proc, #name) == 0) {                                                            \
        real::name = reinterpret_cast<type>(found);                                                 \
        const bool draw = std::strncmp(#name, "glDrawArrays", 12) == 0 ||                           \
                          std::strncmp(#name, "glDrawElements", 14) == 0;                           \
        return draw ? reinterpret_cast<void*>(&Timed<type>::template Draw<&real::name, &entry::name>) \
                    : reinterpret_cast<void*>(&Timed<type>::template Call<&real::name, &entry::name>); \
    }
    QV_GL_FUNCTIONS(QV_TIMER_WRAP)
#undef QV_TIMER_WRAP
    return found;
}

__attribute__((visibility("default"))) void SDL_GL_SwapWindow(SDL_Window* window) {
    static auto next = Next<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    if (!g_ExitHandler) {
        g_ExitHandler = true;
        g_Frames.reserve(4096);
        std::atexit(&WriteRecords);
    }
    const double before = g_Totals.driver;
    {
        DriverScope scope(&entry::present);
        if (next) next(window);
    }
    g_Totals.present += g_Totals.driver - before;
    g_Frames.push_back(FrameRecord{Now(CLOCK_MONOTONIC), Now(CLOCK_THREAD_CPUTIME_ID), g_Totals.driver,
                                   g_Totals.present, g_Totals.calls, g_Totals.draws});
    ReportSlowFrame();
    static const long stopAfter = [] {
        const char* text = std::getenv("QV_FRAME_TIMER_FRAMES");
        return text ? std::strtol(text, nullptr, 10) : 0L;
    }();
    if (stopAfter > 0 && static_cast<long>(g_Frames.size()) >= stopAfter) {
        WriteRecords();
        std::fflush(nullptr);
        _exit(0);
    }
}

}  // extern "C"
