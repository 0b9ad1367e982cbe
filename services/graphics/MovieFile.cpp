#include "services/graphics/MovieFile.h"

#include "services/graphics/Texture.h"

#include "kernel/base/FileSystem.h"
#include "platform/Time.h"
#include "services/sound/Sound.h"

#include <limits>

namespace {

// A movie's bytes from a file of the engine's file system (the disk or the
// pack archive), which keeps its handle open while the movie plays.
class EngineMovieSource : public MovieSource {
public:
    EngineMovieSource(CQVFileSystem* files, void* handle) : m_Files(files), m_Handle(handle) {}
    ~EngineMovieSource() override { m_Files->Close(m_Handle); }

    int Read(uint8_t* buffer, int size) override {
        return static_cast<int>(m_Files->Read(buffer, 1, static_cast<uint32_t>(size), m_Handle));
    }
    int64_t Seek(int64_t offset, int origin) override {
        // The file systems seek with 32-bit offsets.
        if (offset < std::numeric_limits<int32_t>::min() || offset > std::numeric_limits<int32_t>::max()) return -1;
        if (m_Files->Seek(m_Handle, static_cast<int32_t>(offset), origin) != 0) return -1;
        return m_Files->Tell(m_Handle);
    }
    int64_t GetSize() override { return m_Files->GetSize(m_Handle); }

private:
    CQVFileSystem* m_Files;
    void* m_Handle;
};

double SystemSeconds() {
    int64_t count = 0, frequency = 1;
    Platform_QueryPerformanceFrequency(&frequency);
    Platform_QueryPerformanceCounter(&count);
    return static_cast<double>(count) / static_cast<double>(frequency);
}

double (*g_MovieSeconds)() = SystemSeconds;
void (*g_MovieSleep)(uint32_t) = Platform_Sleep;

}  // namespace

std::unique_ptr<PlatformMovie> MovieFile_Open(const char* path, std::string* error) {
    CQVFileSystem* files = FileSystem_GetCurrent();
    void* handle = path != nullptr ? files->Open(path, "rb") : nullptr;
    if (handle == nullptr) {
        *error = "cannot open the movie file";
        return nullptr;
    }
    return PlatformMovie::Open(std::make_unique<EngineMovieSource>(files, handle), Sound_GetDevice() != nullptr, error);
}

double MovieClock_Now() { return g_MovieSeconds(); }
void MovieClock_Sleep(uint32_t milliseconds) { g_MovieSleep(milliseconds); }

void Movie_SetClock(double (*seconds)(), void (*sleep)(uint32_t milliseconds)) {
    g_MovieSeconds = seconds != nullptr ? seconds : SystemSeconds;
    g_MovieSleep = sleep != nullptr ? sleep : Platform_Sleep;
}
