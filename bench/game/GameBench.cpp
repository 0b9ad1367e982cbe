// The whole-game benchmark: the real `game` program, headless (offscreen
// driver, llvmpipe with two rendering threads) at 800x600, on a level the
// benchmark generates (tools/benchlevel) of 1,000, 5,000 and 20,000 actors,
// each run for 600 fixed frames (QV_FRAME_STEP: every frame 1/60 s of game
// time and the same random seed), the camera moving through the rooms.
//
// For each level it reports
//   - frames per second over the level's frames (the wall clock; the fixed
//     step only fixes what each frame shows);
//   - the engine's own time per frame: the main thread's wall time outside
//     the GL driver (the preloaded frame timer, FrameTimer.cpp, times every
//     GL entry point and the present), capped in each frame by the main
//     thread's CPU time in that frame (so time the thread spent waiting for
//     the processor is not counted); its share of the frame, its 95th
//     percentile, the driver's time on the main thread (in GL calls and in
//     the present, where it waits for the rasteriser threads; the present
//     shown apart) and the main thread's CPU time;
//   - the time from starting the program to the end of the level's first
//     frame (reading the library, loading the actor files and resources);
//   - the peak resident memory of the game (ru_maxrss from wait4);
//   - the draw calls per frame (what the frustum and portals leave visible)
//     and the GL calls per frame.
// Targets: at least 60 fps, the engine under 25 % of the frame, the first
// frame within 0.5 s, under 200 MB.
//
// The machine may be shared: each level runs --repeat times (3) and the
// fastest run gives the frame figures; the first frame is the quickest of
// the runs, the peak memory the largest.
//
// Options: --actors=N[,N...] (default 1000,5000,20000), --frames=N (600),
// --repeat=N (3), --threads=N (LP_NUM_THREADS, 2), --profile (one more run of the 5,000-actor
// level, or the first given, under `perf record`, and its top functions),
// --keep (leave the generated folders in the temporary directory).

#include "tools/benchlevel/BenchLevel.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double kFrameStep = 1.0 / 60.0;
constexpr int kWidth = 800, kHeight = 600;

struct Options {
    std::vector<uint32_t> actors{1000, 5000, 20000};
    uint32_t frames = 600;
    int threads = 2;
    uint32_t repeat = 3;
    bool profile = false;
    bool keep = false;
};

struct Frame {
    double wall = 0, cpu = 0, driver = 0, present = 0;
    uint64_t calls = 0, draws = 0;
};

struct EntryTime {
    std::string name;
    uint64_t calls = 0;
    double seconds = 0;
};

struct Result {
    uint32_t actors = 0;
    BenchLevelCounts made;
    int status = -1;
    uint32_t frames = 0;
    double fps = 0;
    double frameMs = 0, engineMs = 0, driverMs = 0, presentMs = 0, cpuMs = 0;
    double engineP50 = 0, engineP95 = 0, frameP95 = 0;
    double firstFrameS = 0;
    double peakMb = 0;
    double draws = 0, calls = 0;
    std::vector<EntryTime> entries;  // the driver's time by entry point, the whole run
    std::string problem;
};

double Monotonic() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

bool ParseList(const char* text, std::vector<uint32_t>* out) {
    out->clear();
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const long value = std::strtol(item.c_str(), nullptr, 10);
        if (value < 1 || value > 200000) return false;
        out->push_back(static_cast<uint32_t>(value));
    }
    return !out->empty();
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            const size_t length = std::strlen(name);
            return arg.compare(0, length, name) == 0 ? arg.c_str() + length : nullptr;
        };
        if (const char* v = value("--actors=")) {
            if (!ParseList(v, &options->actors)) return false;
        } else if (const char* v = value("--frames=")) {
            options->frames = static_cast<uint32_t>(std::max(2L, std::strtol(v, nullptr, 10)));
        } else if (const char* v = value("--repeat=")) {
            options->repeat = static_cast<uint32_t>(std::clamp(std::strtol(v, nullptr, 10), 1L, 50L));
        } else if (const char* v = value("--threads=")) {
            options->threads = static_cast<int>(std::max(0L, std::strtol(v, nullptr, 10)));
        } else if (arg == "--profile") {
            options->profile = true;
        } else if (arg == "--keep") {
            options->keep = true;
        } else {
            return false;
        }
    }
    return true;
}

// The level is written by a child process: the builder runs the engine's
// actor system, whose globals this process keeps clear of.
bool WriteLevel(const fs::path& folder, uint32_t actors, uint32_t frames, BenchLevelCounts* made, std::string* error) {
    int pipes[2];
    if (pipe(pipes) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        close(pipes[0]);
        BenchLevelCounts counts;
        std::string problem;
        const bool ok = BenchLevel_Write(folder, actors, frames, &counts, &problem);
        const ssize_t wrote = write(pipes[1], &counts, sizeof counts);
        if (!ok) std::fprintf(stderr, "bench_game: %s\n", problem.c_str());
        _exit(ok && wrote == static_cast<ssize_t>(sizeof counts) ? 0 : 1);
    }
    close(pipes[1]);
    const ssize_t got = read(pipes[0], made, sizeof *made);
    close(pipes[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != static_cast<ssize_t>(sizeof *made) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "cannot write the level in " + folder.string();
        return false;
    }
    return true;
}

// The game's environment: headless, software GL with the asked rendering
// threads, the fixed frame step, and what the caller adds.
std::vector<std::string> GameEnvironment(const Options& options, const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    const char* drop[] = {"QV_FRAME_STEP=", "LP_NUM_THREADS=", "LD_PRELOAD=", "QV_FRAME_TIMER_OUT="};
    for (char** e = environ; *e != nullptr; ++e) {
        bool dropped = false;
        for (const char* prefix : drop) dropped = dropped || std::strncmp(*e, prefix, std::strlen(prefix)) == 0;
        if (!dropped) env.emplace_back(*e);
    }
    char step[64];
    std::snprintf(step, sizeof step, "QV_FRAME_STEP=%.9g", kFrameStep);
    env.emplace_back(step);
    env.push_back("LP_NUM_THREADS=" + std::to_string(options.threads));
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) env.emplace_back("SDL_VIDEODRIVER=offscreen");
    if (std::getenv("LIBGL_ALWAYS_SOFTWARE") == nullptr) env.emplace_back("LIBGL_ALWAYS_SOFTWARE=1");
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

// Runs a program in folder with env, its standard error to a file; the exit
// status (128 + signal when killed) and its resource use.
int Run(const std::vector<std::string>& argv, const fs::path& folder, const std::vector<std::string>& env,
        const fs::path& errors, rusage* usage, double* started) {
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    *started = Monotonic();
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    *usage = rusage{};
    if (wait4(pid, &status, 0, usage) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool ReadFrames(const fs::path& path, std::vector<size_t>* marks, std::vector<Frame>* frames,
                std::vector<EntryTime>* entries) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line.compare(0, 5, "marks") != 0) return false;
    std::stringstream markText(line.substr(5));
    size_t mark = 0;
    while (markText >> mark) marks->push_back(mark);
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        if (line.compare(0, 6, "entry ") == 0) {
            std::string word;
            EntryTime e;
            if (fields >> word >> e.name >> e.calls >> e.seconds) entries->push_back(e);
            continue;
        }
        Frame f;
        if (fields >> f.wall >> f.cpu >> f.driver >> f.present >> f.calls >> f.draws) frames->push_back(f);
    }
    return true;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
    return values[at];
}

Result MeasureOnce(const Options& options, uint32_t actors, const fs::path& folder, const BenchLevelCounts& made) {
    Result result;
    result.actors = actors;
    result.made = made;
    const fs::path timings = folder / "frames.txt";
    const std::vector<std::string> env =
        GameEnvironment(options, {"LD_PRELOAD=" + std::string(QV_FRAME_TIMER), "QV_FRAME_TIMER_OUT=" + timings.string()});
    rusage usage{};
    double started = 0;
    result.status = Run({QV_GAME, "-win=1", "-w=" + std::to_string(kWidth), "-h=" + std::to_string(kHeight)}, folder,
                        env, folder / "stderr.txt", &usage, &started);
    result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;

    std::vector<size_t> marks;
    std::vector<Frame> frames;
    if (!ReadFrames(timings, &marks, &frames, &result.entries) || marks.empty() || marks.front() >= frames.size()) {
        result.problem = "no frame records (see " + (folder / "stderr.txt").string() + ")";
        return result;
    }
    // frames[first] is the level's first frame; the rate is taken over the
    // frames after it, which the first frame's end starts.
    const size_t first = marks.front();
    const size_t last = frames.size() - 1;
    result.firstFrameS = frames[first].wall - started;
    result.frames = static_cast<uint32_t>(last - first);
    if (result.frames == 0) {
        result.problem = "the level ran one frame";
        return result;
    }
    const double n = result.frames;
    const double wall = frames[last].wall - frames[first].wall;
    const double driver = frames[last].driver - frames[first].driver;
    result.fps = n / wall;
    result.frameMs = wall / n * 1e3;
    result.driverMs = driver / n * 1e3;
    result.presentMs = (frames[last].present - frames[first].present) / n * 1e3;
    result.cpuMs = (frames[last].cpu - frames[first].cpu) / n * 1e3;
    result.draws = static_cast<double>(frames[last].draws - frames[first].draws) / n;
    result.calls = static_cast<double>(frames[last].calls - frames[first].calls) / n;
    // A frame's engine time is its wall time outside the driver, but never
    // more than the main thread's CPU time in the whole frame: on a shared
    // machine the thread may lose the processor between two GL calls, and
    // that wait is nobody's work.
    std::vector<double> engine, frame;
    double engineSum = 0;
    for (size_t i = first + 1; i <= last; ++i) {
        const double w = frames[i].wall - frames[i - 1].wall;
        const double outside = w - (frames[i].driver - frames[i - 1].driver);
        const double e = std::min(outside, frames[i].cpu - frames[i - 1].cpu);
        frame.push_back(w * 1e3);
        engine.push_back(e * 1e3);
        engineSum += e;
    }
    result.engineMs = engineSum / n * 1e3;
    result.engineP50 = Percentile(engine, 0.5);
    result.engineP95 = Percentile(engine, 0.95);
    result.frameP95 = Percentile(frame, 0.95);
    return result;
}

Result Measure(const Options& options, uint32_t actors, const fs::path& folder) {
    Result best;
    best.actors = actors;
    BenchLevelCounts made;
    if (!WriteLevel(folder, actors, options.frames, &made, &best.problem)) return best;
    best.made = made;
    double firstFrame = 1e9, peak = 0;
    bool measured = false;
    for (uint32_t run = 0; run < options.repeat; ++run) {
        const Result result = MeasureOnce(options, actors, folder, made);
        if (!result.problem.empty()) {
            if (!measured) best = result;
            continue;
        }
        firstFrame = std::min(firstFrame, result.firstFrameS);
        peak = std::max(peak, result.peakMb);
        if (!measured || result.fps > best.fps) best = result;
        measured = true;
    }
    if (measured) {
        best.firstFrameS = firstFrame;
        best.peakMb = peak;
    }
    return best;
}

const char* Verdict(bool met) { return met ? "ok" : "MISSED"; }

void PrintResults(const std::vector<Result>& results, const Options& options) {
    std::printf("\nWhole game, %dx%d headless llvmpipe, LP_NUM_THREADS=%d, %u frames of 1/60 s per level, best of %u\n",
                kWidth, kHeight, options.threads, options.frames, options.repeat);
    std::printf("%8s %7s %8s %8s %9s %8s %8s %8s %7s %8s %8s %9s %8s %8s %6s\n", "actors", "fps", "frame", "engine",
                "eng.share", "eng.p95", "driver", "present", "cpu", "draws", "glcalls", "1st frame", "peak MB", "frames",
                "exit");
    for (const Result& r : results) {
        if (!r.problem.empty()) {
            std::printf("%8u  failed: %s (exit %d)\n", r.actors, r.problem.c_str(), r.status);
            continue;
        }
        std::printf("%8u %7.1f %6.2fms %6.2fms %8.1f%% %6.2fms %6.2fms %6.2fms %5.2fms %8.0f %8.0f %8.3fs %8.1f %8u %6d\n",
                    r.made.actors, r.fps, r.frameMs, r.engineMs, 100.0 * r.engineMs / r.frameMs, r.engineP95,
                    r.driverMs, r.presentMs, r.cpuMs, r.draws, r.calls, r.firstFrameS, r.peakMb, r.frames, r.status);
    }
    std::printf("\nlevel make-up:\n");
    for (const Result& r : results) {
        std::printf("  %u actors: %u rooms, %u mesh objects, %u lights, %u emitters, %u bodies, %u sounds, %u markers\n",
                    r.made.actors, r.made.rooms, r.made.meshes, r.made.lights, r.made.emitters, r.made.bodies,
                    r.made.sounds, r.made.markers);
    }
    std::printf("\ntargets (5,000 actors or the level nearest it):\n");
    const Result* main = nullptr;
    for (const Result& r : results) {
        if (r.problem.empty() && (main == nullptr || std::abs(static_cast<int>(r.actors) - 5000) <
                                                          std::abs(static_cast<int>(main->actors) - 5000)))
            main = &r;
    }
    if (main == nullptr) return;
    std::printf("  fps >= 60:                 %7.1f  %s\n", main->fps, Verdict(main->fps >= 60.0));
    std::printf("  engine share < 25 %%:       %6.1f%%  %s\n", 100.0 * main->engineMs / main->frameMs,
                Verdict(main->engineMs < 0.25 * main->frameMs));
    std::printf("  first frame < 0.5 s:       %7.3f  %s\n", main->firstFrameS, Verdict(main->firstFrameS < 0.5));
    std::printf("  peak memory < 200 MB:      %7.1f  %s\n", main->peakMb, Verdict(main->peakMb < 200.0));
    std::printf("\nwhere the main thread's driver time goes (whole run of each level, the five largest):\n");
    for (const Result& r : results) {
        if (!r.problem.empty()) continue;
        std::vector<EntryTime> entries = r.entries;
        std::sort(entries.begin(), entries.end(), [](const EntryTime& a, const EntryTime& b) { return a.seconds > b.seconds; });
        std::printf("  %6u actors:", r.made.actors);
        for (size_t i = 0; i < entries.size() && i < 5; ++i)
            std::printf(" %s %.2f s (%llu)", entries[i].name.c_str(), entries[i].seconds,
                        static_cast<unsigned long long>(entries[i].calls));
        std::printf("\n");
    }
    if (results.size() > 1) {
        std::printf("\ngrowth (engine time per draw call, the visible objects):\n");
        for (const Result& r : results) {
            if (!r.problem.empty() || r.draws <= 0) continue;
            std::printf("  %6u actors: %7.1f draws/frame, engine %6.3f ms = %5.2f us per draw\n", r.made.actors,
                        r.draws, r.engineMs, 1e3 * r.engineMs / r.draws);
        }
    }
}

// One more run under `perf record` (without the frame timer), and its
// functions and libraries by share of the samples.
void Profile(const Options& options, uint32_t actors, const fs::path& folder) {
    BenchLevelCounts made;
    std::string error;
    if (!fs::exists(folder / "init.txt") && !WriteLevel(folder, actors, options.frames, &made, &error)) {
        std::printf("profile: %s\n", error.c_str());
        return;
    }
    const fs::path data = folder / "perf.data";
    rusage usage{};
    double started = 0;
    const int status = Run({"perf", "record", "-F", "2000", "-o", data.string(), "--", QV_GAME, "-win=1",
                            "-w=" + std::to_string(kWidth), "-h=" + std::to_string(kHeight)},
                           folder, GameEnvironment(options, {}), folder / "perf-stderr.txt", &usage, &started);
    if (status != 0 && !fs::exists(data)) {
        std::printf("profile: perf did not run (exit %d); is perf installed and allowed?\n", status);
        return;
    }
    const std::string quoted = "'" + data.string() + "'";
    const auto report = [&](const char* title, const std::string& sorting, const char* filter, int lines) {
        std::printf("\n%s\n", title);
        std::fflush(stdout);
        // perf pads its columns to the terminal's width.
        const std::string command = "perf report -i " + quoted + " --stdio --no-children " + sorting +
                                    " 2>/dev/null | grep -v '^#' | grep -v '^$' | grep -v '" + filter +
                                    "' | sed -e 's/ \\{3,\\}/   /g' -e 's/[ -]*$//' | head -" + std::to_string(lines);
        if (std::system(command.c_str()) != 0) std::printf("profile: perf report failed\n");
    };
    std::printf("\nprofile of the %u-actor level (perf record, cpu-clock, self time):\n", actors);
    report("by thread and library (the rasteriser threads' fragment shaders are the JIT code):",
           "--sort comm,dso --percent-limit 0.5", "^$", 14);
    report("top named functions, every thread (JIT code and the stripped driver have no names):",
           "--sort symbol,dso", "\\] 0x", 10);
    report("the engine's own functions (the game binary, main thread):", "--comms game --dsos game --sort symbol",
           "^$", 10);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: bench_game [--actors=N[,N...]] [--frames=N] [--repeat=N] [--threads=N] [--profile] [--keep]\n");
        return 2;
    }
    const fs::path scratch = fs::temp_directory_path() / ("qv_gamebench_" + std::to_string(getpid()));
    std::vector<Result> results;
    for (uint32_t actors : options.actors) {
        const fs::path folder = scratch / std::to_string(actors);
        std::printf("level of %u actors ...\n", actors);
        std::fflush(stdout);
        results.push_back(Measure(options, actors, folder));
    }
    PrintResults(results, options);
    if (options.profile) {
        uint32_t actors = options.actors.front();
        for (uint32_t a : options.actors) {
            if (a == 5000) actors = a;
        }
        Profile(options, actors, scratch / std::to_string(actors));
    }
    std::error_code ignored;
    if (options.keep) {
        std::printf("\nfolders kept in %s\n", scratch.c_str());
    } else {
        fs::remove_all(scratch, ignored);
    }
    bool ok = true;
    for (const Result& r : results) ok = ok && r.problem.empty();
    return ok ? 0 : 1;
}
