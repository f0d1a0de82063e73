// Repaint cost of a 500 x 350 layered window with twelve controls against a
// bare UpdateLayeredWindow of a pre-filled DIB of the same size.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchClock.h"
#include "MControl.h"
#include "MRender.h"
#include "MWindow.h"
#include "Manager.h"
#include "PaintManager.h"

namespace {

class BenchWindow : public MWindow {
public:
    PaintManager pm;
    BOOL OnInitDialog() override
    {
        if (m_hWnd != nullptr)
            pm.Init(m_hWnd, this);
        return TRUE;
    }
    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_ERASEBKGND)
            return 1;
        LRESULT handled = pm.OnWindowMessage(msg, wParam, lParam);
        return handled ? handled : MWindow::OnWindowMessage(msg, wParam, lParam);
    }
    void OnDestroyMessage(HWND hwnd) override { pm.OnDestroyMessage(hwnd); }
};

class Parent : public MObject {
public:
    PaintManager* pm = nullptr;
    LRESULT OnControlUpdate(CRect rect, BOOL flag, MControl* control) override
    {
        return pm->OnControlUpdate(rect, flag, control);
    }
};

// A control drawn with the cached scheme: rebuilt into its memory DC when
// stale, then copied.
class BenchControl : public MControl {
public:
    BenchControl(MObject* parent, UINT id, CRect rect, DWORD argb)
        : MControl(parent, id, rect, 1, 1, 1), m_argb(argb) {}
    void DrawControl(HDC& dc, CRect) override
    {
        int w = m_rect.Width(), h = m_rect.Height();
        if (!m_bUpdate) {
            UpdateMemDC(dc, w, h);
            ::BitBlt(m_hMemDC, 0, 0, w, h, dc, m_rect.left, m_rect.top, SRCCOPY);
            MRender::DrawColor(m_hMemDC, CRect(0, 0, w, h), m_argb);
        }
        ::BitBlt(dc, m_rect.left, m_rect.top, w, h, m_hMemDC, 0, 0, SRCCOPY);
    }

private:
    DWORD m_argb;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain()
{
    Manager::SetInstance(::GetModuleHandleW(nullptr));
    Manager::InitGdiplus();
    const int frames = 200;
    double repaint = 0;
    double present = 0;
    double cached = 0;
    {
        BenchWindow window;
        Parent parent;
        parent.pm = &window.pm;
        window.pm.SetLayeredWindow(TRUE);
        window.pm.SetPaintPause(0);  // the 15 ms pause is left out of the figure
        window.Create(nullptr, L"bench", WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW, CRect(50, 50, 550, 400));
        for (UINT i = 0; i < 12; ++i) {
            CRect rect(20 + static_cast<int>(i % 4) * 115, 30 + static_cast<int>(i / 4) * 100, 0, 0);
            rect.right = rect.left + 100;
            rect.bottom = rect.top + 80;
            window.pm.AddControl(1, new BenchControl(&parent, i + 1, rect, 0xFF000000 | (0x101010 * (i + 1))));
        }
        HWND hwnd = window.GetSafeHwnd();
        HDC screen = ::GetDC(hwnd);
        HDC memDC = ::CreateCompatibleDC(screen);
        BYTE* bits = nullptr;
        HBITMAP dib = MRender::CreateARGB32Bitmap(screen, 500, 350, &bits);
        HGDIOBJ old = ::SelectObject(memDC, dib);
        std::fill(reinterpret_cast<DWORD*>(bits), reinterpret_cast<DWORD*>(bits) + 500 * 350, 0xFE808080);

        auto repaintOnce = [&](bool rebuild) {
            if (rebuild) {
                for (MControl* control : window.pm.GetControls())
                    control->SetUpdate(0, 0);
            }
            double start = SecondsNow();
            ::InvalidateRect(hwnd, nullptr, TRUE);
            ::UpdateWindow(hwnd);
            return (SecondsNow() - start) * 1000.0;
        };
        auto presentOnce = [&] {
            SIZE size = {500, 350};
            POINT source = {0, 0};
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
            double start = SecondsNow();
            ::UpdateLayeredWindow(hwnd, screen, nullptr, &size, memDC, &source, 0, &blend, ULW_ALPHA);
            return (SecondsNow() - start) * 1000.0;
        };
        // The three kinds of frame take turns, so that a change in machine load
        // affects them alike.
        std::vector<double> rebuilt, fromCache, bare;
        for (int i = 0; i < frames + 10; ++i) {
            double a = repaintOnce(true);
            double b = repaintOnce(false);
            double c = presentOnce();
            if (i >= 10) {
                rebuilt.push_back(a);
                fromCache.push_back(b);
                bare.push_back(c);
            }
        }
        repaint = Median(rebuilt);
        cached = Median(fromCache);
        present = Median(bare);
        ::SelectObject(memDC, old);
        ::DeleteObject(dib);
        ::DeleteDC(memDC);
        ::ReleaseDC(hwnd, screen);
        window.DestroyWindow();
    }
    std::printf("frames: %d, window 500x350 layered, 12 controls rebuilt per frame\n", frames);
    std::printf("full repaint, controls rebuilt (median, no pause): %.3f ms\n", repaint);
    std::printf("full repaint, controls cached (median, no pause): %.3f ms\n", cached);
    std::printf("bare UpdateLayeredWindow (median): %.3f ms\n", present);
    std::printf("ratio rebuilt / bare: %.2f\n", present > 0 ? repaint / present : 0.0);
    std::printf("ratio cached / bare: %.2f\n", present > 0 ? cached / present : 0.0);
    Manager::UnInitGdiplus();
    return 0;
}
