#pragma once
// What the texture layer's movies share: movie files read through the
// engine's current file system, and the clock they run by.

#include "platform/movie/Movie.h"

#include <memory>
#include <string>

// The movie in the file, with its sound track decoded while a sound device
// is open; null with the reason in error.
std::unique_ptr<PlatformMovie> MovieFile_Open(const char* path, std::string* error);

// Seconds by the movie clock, and a wait on it.
double MovieClock_Now();
void MovieClock_Sleep(uint32_t milliseconds);
