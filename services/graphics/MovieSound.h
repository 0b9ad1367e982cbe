#pragma once
// A movie's sound track on the engine's sound device, under the sound lock.

#include "platform/sound/MovieSound.h"

#include <memory>

using MovieSound = PlatformMovieSound;

// Null when no sound device is open (sound switched off) or it refuses the
// format: the movie then plays silent.
std::unique_ptr<MovieSound> MovieSound_Create(const MovieInfo& info);
