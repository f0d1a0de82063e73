#include "SevenSegmentWindow.h"

#include <cstdio>

#include "PaintDc.h"
#include "UniqueResource.h"

namespace vcooler {

namespace {

constexpr wchar_t kClassName[] = L"VCoolerDisplay";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kDigitWidth = 36;
constexpr int kDigitHeight = 64;
constexpr int kSegment = 6;
constexpr int kRowHeight = kDigitHeight + 40;

// Segment rectangles of one digit at (x, y): a top, b upper right, c lower
// right, d bottom, e lower left, f upper left, g middle.
void SegmentRect(int segment, int x, int y, RECT& r)
{
    const int w = kDigitWidth;
    const int h = kDigitHeight / 2;
    const int t = kSegment;
    switch (segment) {
    case 0: r = {x + t, y, x + w - t, y + t}; break;
    case 1: r = {x + w - t, y + t, x + w, y + h}; break;
    case 2: r = {x + w - t, y + h, x + w, y + 2 * h - t}; break;
    case 3: r = {x + t, y + 2 * h - t, x + w - t, y + 2 * h}; break;
    case 4: r = {x, y + h, x + t, y + 2 * h - t}; break;
    case 5: r = {x, y + t, x + t, y + h}; break;
    default: r = {x + t, y + h - t / 2, x + w - t, y + h + t / 2}; break;
    }
}


}  // namespace

uint8_t SegmentsOf(uint8_t digit)
{
    static constexpr uint8_t kMasks[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    return digit < 10 ? kMasks[digit] : 0;
}

SevenSegmentWindow::~SevenSegmentWindow()
{
    if (window_ != nullptr)
        DestroyWindow(window_);
}

bool SevenSegmentWindow::Create(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    const int width = 3 * (kDigitWidth + 14) + 60;
    const int height = kMaxCoolers * kRowHeight + 40;
    window_ = CreateWindowExW(0, kClassName, L"Virtual coolers", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                              CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr, instance, this);
    if (window_ == nullptr)
        return false;
    SetTimer(window_, kRefreshTimer, 100, nullptr);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    return true;
}

int SevenSegmentWindow::RunLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

LRESULT CALLBACK SevenSegmentWindow::WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<SevenSegmentWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (msg) {
    case WM_TIMER:
        if (self != nullptr && self->control_.StopRequested())
            DestroyWindow(window);
        else
            InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT:
        if (self != nullptr) {
            const PaintDc dc(window);
            RECT client;
            GetClientRect(window, &client);
            self->Paint(dc.get(), client);
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if (self != nullptr) {
            RECT client;
            GetClientRect(window, &client);
            self->Paint(reinterpret_cast<HDC>(wParam), client);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (self != nullptr)
            self->window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

void SevenSegmentWindow::Paint(HDC dc, const RECT& client)
{
    const UniqueGdiObject background(CreateSolidBrush(RGB(16, 16, 20)));
    const UniqueGdiObject on(CreateSolidBrush(RGB(255, 60, 40)));
    const UniqueGdiObject off(CreateSolidBrush(RGB(44, 30, 30)));
    FillRect(dc, &client, static_cast<HBRUSH>(background.get()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(200, 200, 200));

    for (int i = 0; i < kMaxCoolers; ++i) {
        const DisplayState d = control_.ReadDisplay(i);
        if (!d.present)
            continue;
        const int top = 10 + i * kRowHeight;
        wchar_t label[64];
        swprintf(label, 64, L"Cooler %d%s", i, d.plugged ? L"" : L" (unplugged)");
        TextOutW(dc, 10, top, label, static_cast<int>(wcslen(label)));
        for (int k = 0; k < 3; ++k) {
            const uint8_t mask = d.lit ? SegmentsOf(d.digits[k]) : 0;
            const int x = 20 + k * (kDigitWidth + 14);
            for (int seg = 0; seg < 7; ++seg) {
                RECT r;
                SegmentRect(seg, x, top + 22, r);
                FillRect(dc, &r, static_cast<HBRUSH>((mask >> seg & 1) ? on.get() : off.get()));
            }
        }
    }
}

}  // namespace vcooler
