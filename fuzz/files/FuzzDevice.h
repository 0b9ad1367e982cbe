#pragma once
// Fuzz targets whose code puts things on the graphics device (mesh buffers,
// glyph textures, screen captures) open the engine once with a small
// windowed device on the headless driver.

// The device's back buffer, in pixels.
constexpr int kFuzzDeviceSide = 32;

// Aborts when no device can be made.
void Fuzz_StartDevice();
