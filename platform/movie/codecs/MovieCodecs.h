#pragma once
// The movie codec module: FFmpeg's decoders and encoders behind the movie
// interfaces, built as a module of its own that the movie layer loads
// (from beside the program) when the first movie is opened or written.

#include "platform/movie/Movie.h"

// The module's file name, in the program's folder.
constexpr const char* kMovieCodecsModule = "qv_movie_codecs.so";

// The module's entry points, found by these names. Each hands back a new
// object (its deletion runs in the module) or null with the reason in error;
// Open takes the source over in every case.
extern "C" PlatformMovie* MovieCodecs_Open(MovieSource* source, bool withAudio, std::string* error);
extern "C" PlatformMovieWriter* MovieCodecs_CreateWriter(const std::string& path, const MovieWriteSettings& settings,
                                                         std::string* error);
using MovieCodecsOpen = decltype(&MovieCodecs_Open);
using MovieCodecsCreateWriter = decltype(&MovieCodecs_CreateWriter);

// Silences the libraries' own messages (once for the process).
void MovieCodecs_QuietLibrary();
