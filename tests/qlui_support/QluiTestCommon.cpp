#include "QluiTestCommon.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Manager.h"

namespace {

// GDI+ and the module handle for every test of a program, as the application
// sets them up.
class QluiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Manager::SetInstance(::GetModuleHandleW(nullptr));
        Manager::InitGdiplus();
    }
    void TearDown() override { Manager::UnInitGdiplus(); }
};

const auto* g_environment = ::testing::AddGlobalTestEnvironment(new QluiEnvironment);

} // namespace

void PumpMessages(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    DWORD start = ::GetTickCount();
    MSG msg;
    for (;;) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (::GetTickCount() - start >= ms)
            return false;
        ::Sleep(1);
    }
}

void MoveCursorTo(HWND hwnd, int x, int y)
{
    POINT pt = {x, y};
    ::ClientToScreen(hwnd, &pt);
    ::SetCursorPos(pt.x, pt.y);
}

int GdiHandleHighWater()
{
    constexpr int kBurst = 4000;
    std::vector<HBRUSH> burst;
    burst.reserve(kBurst);
    int highest = 0;
    for (int i = 0; i < kBurst; ++i) {
        HBRUSH brush = ::CreateSolidBrush(RGB(i & 0xFF, 0, 0));
        if (brush == nullptr)
            break;
        burst.push_back(brush);
        highest = std::max(highest, static_cast<int>(reinterpret_cast<UINT_PTR>(brush) & 0xFFFF));
    }
    for (HBRUSH brush : burst)
        ::DeleteObject(brush);
    return highest;
}
