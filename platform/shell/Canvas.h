#pragma once
// A window's client area drawn by the processor, as the desktop's
// device-independent picture calls draw it: pictures are copied 1:1 into a
// frame of the client's size, which Present shows in the window. Drawing is
// clipped to the frame.

#include "platform/Messages.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PlatformCanvas {
public:
    // Null, with the reason in error, when the window has no surface to show pixels on.
    static std::unique_ptr<PlatformCanvas> Create(HWND window, std::string* error);
    ~PlatformCanvas();
    PlatformCanvas(const PlatformCanvas&) = delete;
    PlatformCanvas& operator=(const PlatformCanvas&) = delete;

    // The frame follows the client size (read at each Fill, Draw and Present;
    // a new size starts black).
    int GetWidth();
    int GetHeight();

    // Colours are 0xRRGGBB.
    void Fill(int x, int y, int width, int height, uint32_t rgb);
    // A one-pixel frame on the inside of [left, right) x [top, bottom).
    void FrameRect(int left, int top, int right, int bottom, uint32_t rgb);
    // width x height pixels of 3 bytes (blue, green, red), rows stride bytes
    // apart, the bottom row first when bottomUp, with the top-left at (x, y).
    void DrawBgr(int x, int y, int width, int height, const uint8_t* bits, size_t stride, bool bottomUp);
    // ARGB pixels (rows top first) stretched over the rectangle.
    void DrawStretched(int x, int y, int width, int height, const uint32_t* pixels, int sourceWidth,
                       int sourceHeight);
    // Shows the frame in the window.
    bool Present();
    // The window's pixels as last shown, ARGB with rows top first.
    bool ReadBack(std::vector<uint32_t>* pixels, int* width, int* height);

private:
    explicit PlatformCanvas(HWND window) : m_Window(window) {}
    void FollowClientSize();

    HWND m_Window;
    int m_Width = 0;
    int m_Height = 0;
    std::vector<uint32_t> m_Pixels;  // 0xFFRRGGBB, rows top first
};
