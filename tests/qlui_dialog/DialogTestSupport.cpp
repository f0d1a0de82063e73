#include "DialogTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "Manager.h"

namespace {

bool PngEncoder(CLSID& clsid)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0)
        return false;
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

} // namespace

std::wstring MakeSkinImage(const wchar_t* name, int width, int height, std::initializer_list<Gdiplus::ARGB> bands)
{
    // One folder per test process: ctest runs cases in parallel processes that
    // would otherwise write the same files at once.
    const std::wstring relative = L"qlui_dialog_test\\" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    const std::wstring root = std::wstring(GetSkinFolder().GetString());
    ::CreateDirectoryW(root.c_str(), nullptr);
    ::CreateDirectoryW((root + L"qlui_dialog_test\\").c_str(), nullptr);
    const std::wstring folder = root + relative;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        int band = width / static_cast<int>(bands.size());
        int i = 0;
        for (Gdiplus::ARGB colour : bands) {
            Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
            graphics.FillRectangle(&brush, i * band, 0, band, height);
            ++i;
        }
    }
    CLSID png;
    EXPECT_TRUE(PngEncoder(png));
    EXPECT_EQ(Gdiplus::Ok, bitmap.Save((folder + name).c_str(), &png, nullptr));
    return relative + name;
}

void FrameCapture::Observe(void* user, const BYTE* bits, int cx, int cy, const RECT&)
{
    auto* self = static_cast<FrameCapture*>(user);
    self->cx = cx;
    self->cy = cy;
    self->pixels.assign(reinterpret_cast<const DWORD*>(bits), reinterpret_cast<const DWORD*>(bits) + cx * cy);
    ++self->frames;
}

bool FrameCapture::Near(int x, int y, int r, int g, int b, int tolerance) const
{
    DWORD p = At(x, y);
    return std::abs(R(p) - r) <= tolerance && std::abs(G(p) - g) <= tolerance && std::abs(B(p) - b) <= tolerance;
}

TestDialog::TestDialog() { m_OldWndProc = &TestDialog::RecordingDefProc; }

TestDialog::~TestDialog() { DestroyWindow(); }

HWND TestDialog::Open(int x, int y, int cx, int cy, DWORD extraStyle, bool show)
{
    GetPaintManager()->SetPaintPause(0);
    GetPaintManager()->SetPaintObserver(&FrameCapture::Observe, &capture);
    EnableWndDrag(FALSE);
    HWND hwnd = Create(nullptr, L"QLUI dialog test", WS_POPUP | extraStyle, 0, CRect(x, y, x + cx, y + cy));
    if (show)
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    PumpMessages(20);
    return hwnd;
}

void TestDialog::Repaint()
{
    int before = capture.frames;
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::UpdateWindow(m_hWnd);
    EXPECT_GT(capture.frames, before);
}

LRESULT TestDialog::Mouse(UINT msg, int x, int y, WPARAM keys)
{
    MoveCursorTo(m_hWnd, x, y);
    return ::SendMessageW(m_hWnd, msg, keys, MAKELPARAM(x, y));
}

void TestDialog::InitUI(CRect client)
{
    initUIs.push_back(client);
    log.push_back("InitUI");
}

void TestDialog::UISize(CRect client) { uiSizes.push_back(client); }

LRESULT TestDialog::OnMessage(UINT id, UINT code, UINT, LPARAM)
{
    notes.push_back({id, code});
    log.push_back("OnMessage " + std::to_string(id) + " " + std::to_string(code));
    return 0;
}

LRESULT TestDialog::OnLButtonDown(UINT, CPoint)
{
    log.push_back("OnLButtonDown");
    return 0;
}

LRESULT TestDialog::OnLButtonUp(UINT, CPoint)
{
    log.push_back("OnLButtonUp");
    return 0;
}

LRESULT TestDialog::OnClose()
{
    log.push_back("OnClose");
    return MDialog::OnClose();
}

LRESULT TestDialog::OnDestroy()
{
    log.push_back("OnDestroy");
    return MDialog::OnDestroy();
}

LRESULT TestDialog::PostNcDestroy()
{
    log.push_back("PostNcDestroy");
    return MDialog::PostNcDestroy();
}

LRESULT TestDialog::OnControlUpdate(CRect rect, BOOL flag, MControl* control)
{
    ++updates;
    return MDialog::OnControlUpdate(rect, flag, control);
}

LRESULT CALLBACK TestDialog::RecordingDefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = dynamic_cast<TestDialog*>(reinterpret_cast<MWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    if (self != nullptr)
        self->defaultSeen.push_back(msg);
    // A press on the background would start the system's window-move loop.
    if (msg == WM_NCLBUTTONDOWN)
        return 0;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
