// Loads the codec module beside the program on first use and forwards
// opening and writing movies to it.

#include "platform/movie/codecs/MovieCodecs.h"

#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace {

struct MovieCodecs {
    MovieCodecsOpen open = nullptr;
    MovieCodecsCreateWriter createWriter = nullptr;
    std::string error;
};

// The folder of the running program.
std::string ProgramFolder() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    const std::string program(path, static_cast<size_t>(length));
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

// The module stays loaded for the rest of the run: the movies it made hold
// its code.
const MovieCodecs& LoadCodecs() {
    static MovieCodecs codecs;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        const std::string path = ProgramFolder() + "/" + kMovieCodecsModule;
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* reason = dlerror();
            codecs.error = "cannot load the movie codecs: " + std::string(reason != nullptr ? reason : path);
            return;
        }
        codecs.open = reinterpret_cast<MovieCodecsOpen>(dlsym(module, "MovieCodecs_Open"));
        codecs.createWriter = reinterpret_cast<MovieCodecsCreateWriter>(dlsym(module, "MovieCodecs_CreateWriter"));
        if (codecs.open == nullptr || codecs.createWriter == nullptr) codecs.error = "the movie codecs are damaged: " + path;
    });
    return codecs;
}

}  // namespace

std::unique_ptr<PlatformMovie> PlatformMovie::Open(std::unique_ptr<MovieSource> source, bool withAudio,
                                                   std::string* error) {
    if (source == nullptr) {
        *error = "no movie file";
        return nullptr;
    }
    const MovieCodecs& codecs = LoadCodecs();
    if (codecs.open == nullptr) {
        *error = codecs.error;
        return nullptr;
    }
    return std::unique_ptr<PlatformMovie>(codecs.open(source.release(), withAudio, error));
}

std::unique_ptr<PlatformMovieWriter> PlatformMovieWriter::Create(const std::string& path,
                                                                 const MovieWriteSettings& settings,
                                                                 std::string* error) {
    const MovieCodecs& codecs = LoadCodecs();
    if (codecs.createWriter == nullptr) {
        *error = codecs.error;
        return nullptr;
    }
    return std::unique_ptr<PlatformMovieWriter>(codecs.createWriter(path, settings, error));
}
