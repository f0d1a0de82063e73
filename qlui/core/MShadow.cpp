#include "MShadow.h"

#include <algorithm>

#include "LayeredCanvas.h"

#include "MRender.h"
#include "Manager.h"

namespace {

const wchar_t kShadowClass[] = L"QLShadow";

bool RegisterShadowClass()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = Manager::GetLibraryInstance();
    wc.lpszClassName = kShadowClass;
    return ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

MShadow::MShadow(PaintManager* manager)
    : m_pManager(manager), m_hWnd(nullptr), m_hDialog(nullptr), m_bShown(FALSE), m_nSize(0), m_nSharpness(5),
      m_nDarkness(150), m_ptOffset{5, 5}, m_crColor(0), m_pImage(nullptr), m_rcEdges(0, 0, 0, 0)
{
}

MShadow::~MShadow()
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    delete m_pImage;
}

BOOL MShadow::Create(HWND dialog)
{
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        return TRUE;
    if (!::IsWindow(dialog) || !RegisterShadowClass())
        return FALSE;
    m_hDialog = dialog;
    // Not owned by the dialog: an owned window would always stay above it.
    m_hWnd = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kShadowClass,
                               L"", WS_POPUP, 0, 0, 0, 0, ::GetWindow(dialog, GW_OWNER), nullptr,
                               Manager::GetLibraryInstance(), nullptr);
    return m_hWnd != nullptr ? TRUE : FALSE;
}

void MShadow::Show(BOOL show)
{
    m_bShown = show;
    if (m_hWnd == nullptr)
        return;
    if (show && ::IsWindowVisible(m_hDialog))
        Update();
    else
        ::ShowWindow(m_hWnd, SW_HIDE);
}

void MShadow::SetSize(int size)
{
    m_nSize = size;
    Update();
}

void MShadow::SetSharpness(int sharpness)
{
    m_nSharpness = sharpness;
    Update();
}

void MShadow::SetDarkness(int darkness)
{
    m_nDarkness = darkness;
    Update();
}

void MShadow::SetPosition(int x, int y)
{
    m_ptOffset = {x, y};
    Update();
}

void MShadow::SetColor(COLORREF colour)
{
    m_crColor = colour;
    Update();
}

void MShadow::SetImage(Gdiplus::Image* image, CRect edges)
{
    delete m_pImage;
    m_pImage = image;
    if (edges.left >= 0 && edges.top >= 0 && edges.right >= 0 && edges.bottom >= 0)
        m_rcEdges = edges;
    Update();
}

BOOL MShadow::SetImage(const wchar_t* file, CRect edges)
{
    Gdiplus::Image* image = file ? MRender::LoadImageFromFile(GetSkinFolder() + file) : nullptr;
    SetImage(image, edges);
    return image != nullptr ? TRUE : FALSE;
}

BOOL MShadow::SetImage(UINT resourceId, CRect edges)
{
    Gdiplus::Image* image = MRender::LoadImageFromIDResource(resourceId, L"PNG", Manager::GetInstance());
    SetImage(image, edges);
    return image != nullptr ? TRUE : FALSE;
}

void MShadow::OnOwnerMessage(UINT msg, WPARAM wParam)
{
    if (m_hWnd == nullptr)
        return;
    switch (msg) {
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
        Update();
        break;
    case WM_SHOWWINDOW:
        if (wParam && m_bShown)
            Update();
        else
            ::ShowWindow(m_hWnd, SW_HIDE);
        break;
    case WM_DESTROY:
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        break;
    default:
        break;
    }
}

void MShadow::Update()
{
    if (m_hWnd == nullptr || !m_bShown || !::IsWindow(m_hDialog) || !::IsWindowVisible(m_hDialog)
        || ::IsIconic(m_hDialog))
        return;
    RECT owner;
    ::GetWindowRect(m_hDialog, &owner);
    int spread = std::max(0, m_nSize + m_nSharpness);
    CRect core(owner);
    core.InflateRect(m_nSize, m_nSize);
    CRect outer(owner);
    outer.InflateRect(spread, spread);
    outer.OffsetRect(m_ptOffset.x, m_ptOffset.y);
    core.OffsetRect(m_ptOffset.x, m_ptOffset.y);
    int cx = outer.Width();
    int cy = outer.Height();
    if (cx <= 0 || cy <= 0)
        return;

    LayeredCanvas canvas(cx, cy);
    if (!canvas.IsValid())
        return;
    if (m_pImage != nullptr) {
        Gdiplus::Graphics graphics(canvas.Bitmap());
        MRender::DrawImageFrameMID(graphics, m_pImage, CRect(0, 0, cx, cy), 0, 0,
                                   static_cast<int>(m_pImage->GetWidth()), static_cast<int>(m_pImage->GetHeight()),
                                   m_rcEdges.left, m_rcEdges.top, m_rcEdges.right, m_rcEdges.bottom);
    } else {
        DWORD* pixels = canvas.Pixels();
        for (int y = 0; y < cy; ++y) {
            int sy = outer.top + y;
            int dy = sy < core.top ? core.top - sy : (sy >= core.bottom ? sy - core.bottom + 1 : 0);
            for (int x = 0; x < cx; ++x) {
                int sx = outer.left + x;
                int dx = sx < core.left ? core.left - sx : (sx >= core.right ? sx - core.right + 1 : 0);
                int alpha = EdgeAlpha(m_nDarkness, m_nSharpness, std::max(dx, dy));
                DWORD r = GetRValue(m_crColor) * alpha / 255;
                DWORD g = GetGValue(m_crColor) * alpha / 255;
                DWORD b = GetBValue(m_crColor) * alpha / 255;
                pixels[y * cx + x] = (static_cast<DWORD>(alpha) << 24) | (r << 16) | (g << 8) | b;
            }
        }
    }
    canvas.Present(m_hWnd, outer.left, outer.top);
    ::SetWindowPos(m_hWnd, m_hDialog, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}
