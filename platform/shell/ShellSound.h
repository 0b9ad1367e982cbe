#pragma once
// The front ends' sound: wave files played by name, one at a time, as the
// desktop's asynchronous sound call plays them (a new sound cuts the one
// playing), and the sound tracks of their movies. The default sound output
// opens with the first sound; without one every sound is silent.

#include "platform/movie/MoviePlayer.h"

#include <memory>
#include <string>

// Reads a PCM wave file (a name on this disk) ahead of its first play, and
// opens the sound output; false for a file that cannot be read.
bool Platform_LoadSound(const std::string& path);
// Plays a PCM wave file from its start (read now unless loaded before).
// False, and the sound playing left alone, for an empty name or a file that
// cannot be read or played.
bool Platform_PlaySound(const std::string& path);
void Platform_StopSound();
bool Platform_IsSoundPlaying();
// A sink for a movie's sound track on the same output; null without an
// output or for a format it refuses (the movie then plays silent).
std::unique_ptr<MovieAudioSink> Platform_CreateMovieSound(const MovieInfo& info);
// Closes the output (its sounds stop) and forgets the loaded files; the
// next sound opens it again.
void Platform_CloseSound();
