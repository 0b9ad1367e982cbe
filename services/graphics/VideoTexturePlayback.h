#pragma once
// A video texture's movie: the player with its decoding worker, the sink
// that writes its frames into the texture, and its sound.

#include "platform/movie/MoviePlayer.h"

struct VideoTexturePlayback;

// Stops the movie, ends its worker and frees it; null is ignored.
void VideoTexturePlayback_Delete(VideoTexturePlayback* playback);
// The player behind a video texture (tests and benchmarks watch its state).
MoviePlayer* VideoTexturePlayback_GetPlayer(VideoTexturePlayback* playback);
