#pragma once
#include <windows.h>

#include <cstdint>

#include "VCoolerControl.h"

namespace vcooler {

// Segment mask of a digit (bit 0 = a ... bit 6 = g); 0 for anything but 0 to 9.
uint8_t SegmentsOf(uint8_t digit);

// A small window that shows each virtual cooler's display as three
// seven-segment digits, dark when the display light is off or the cooler is
// unplugged. It re-reads the channel ten times a second.
class SevenSegmentWindow {
public:
    explicit SevenSegmentWindow(VCoolerControl& control) : control_(control) {}
    ~SevenSegmentWindow();
    SevenSegmentWindow(const SevenSegmentWindow&) = delete;
    SevenSegmentWindow& operator=(const SevenSegmentWindow&) = delete;

    bool Create(HINSTANCE instance);
    HWND Handle() const { return window_; }
    // Runs the message loop until the window is closed or a stop is requested
    // on the channel.
    int RunLoop();

private:
    static LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc, const RECT& client);

    VCoolerControl& control_;
    HWND window_ = nullptr;
};

}  // namespace vcooler
