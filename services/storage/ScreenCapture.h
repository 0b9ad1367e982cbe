#pragma once
// Pictures of the screen: the back buffer (the last presented frame, until
// the next frame clears it) scaled into the capture image, and the capture
// image written as a TGA file.

#include "services/storage/ImageBuffer.h"

#include <cstdint>

// Scales the back buffer into the capture image of width x height, made
// anew (white) when there is none of that size. A size of 0, or one wider
// or taller than the back buffer, is refused, as is any size without a
// back buffer: the image stays as it was. A back buffer that cannot be
// locked, or of fewer than two rows or columns, leaves the image as it was.
void Screen_CaptureBackBuffer(int32_t width, int32_t height);
// Writes the capture image as a TGA file, through a new file beside the
// name that then replaces it; nothing without a capture. 1 when written.
int Screen_SaveCapture(const char* fileName);
// The capture image, null before the first capture.
const ImageBuffer* Screen_GetCapture();
// Forgets the capture image.
void Screen_Reset();
