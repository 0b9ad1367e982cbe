#include "services/graphics/MovieSound.h"

#include "services/sound/Sound.h"

std::unique_ptr<MovieSound> MovieSound_Create(const MovieInfo& info) {
    return PlatformMovieSound::Create(Sound_GetDevice(), info, SOUND_FLAGS_2D, &g_SoundLock);
}
