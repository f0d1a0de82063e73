#include "MAirBladder.h"

#include <algorithm>

#include "LayeredCanvas.h"
#include "MRender.h"
#include "Manager.h"

namespace {

const int kPadX = 10;
const int kPadY = 6;
const int kCorner = 6;
const int kArrow = 7;        // depth of the arrow
const int kArrowSpan = 14;   // width of the arrow across its side

MAirBladder* CreateBalloon(PaintManager* manager, HWND owner)
{
    auto* balloon = new MAirBladder(manager);
    if (balloon->CreateBalloon(owner) == nullptr) {
        delete balloon;
        return nullptr;
    }
    return balloon;
}

void DestroyBalloon(MAirBladder* balloon) { delete balloon; }

BOOL SetBalloonMessage(MAirBladder* balloon, const wchar_t* text, POINT point, AIRBLADDER_TYPE type,
                       AIRBLADDER_MODE mode)
{
    return balloon->SetMessage(text, point, type, mode);
}

HWND BalloonWindow(MAirBladder* balloon) { return balloon->GetSafeHwnd(); }

const AirBladderOps kOps = {&CreateBalloon, &DestroyBalloon, &SetBalloonMessage, &BalloonWindow};

// The window manager creates balloons through these operations.
[[maybe_unused]] const bool kRegistered = (PaintManager::SetAirBladderOps(&kOps), true);

} // namespace

MAirBladder::MAirBladder(PaintManager* owner)
    : m_pOwner(owner), m_point{0, 0}, m_type(0), m_mode(0), m_bHasMessage(false), m_rcWindow{0, 0, 0, 0},
      m_pBody(nullptr), m_pArrowLeft(nullptr), m_pArrowRight(nullptr), m_pArrowTop(nullptr)
{
}

MAirBladder::~MAirBladder()
{
    if (IsAlive())
        ::DestroyWindow(m_hWnd);
    delete m_pBody;
    delete m_pArrowLeft;
    delete m_pArrowRight;
    delete m_pArrowTop;
}

HWND MAirBladder::CreateBalloon(HWND owner)
{
    // Created hidden (0x96020080 without WS_VISIBLE) and never activated: it
    // is shown only with a message, and must not take the activation from the
    // window whose control it describes.
    return Create(owner, L"AirBladder Window", 0x96020080 & ~WS_VISIBLE,
                  WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_NOACTIVATE, CRect(0, 0, 0, 0));
}

LRESULT MAirBladder::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {
        DWORD style = static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
        ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>((style & 0xFF3BFFFF) | 0x06000008));
        break;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        ::BeginPaint(m_hWnd, &ps);
        ::EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_TIMER:
        if (wParam == kHideTimerId) {
            ::KillTimer(m_hWnd, kHideTimerId);
            ::ShowWindow(m_hWnd, SW_HIDE);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE && m_mode != 5)
            ::ShowWindow(m_hWnd, SW_HIDE);
        break;
    case WM_KILLFOCUS:
        if (m_mode != 5)
            ::ShowWindow(m_hWnd, SW_HIDE);
        break;
    default:
        break;
    }
    return MWindow::OnWindowMessage(msg, wParam, lParam);
}

BOOL MAirBladder::SetMessage(const wchar_t* text, POINT point, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode)
{
    CString newText(text ? text : L"");
    if (m_bHasMessage && newText == m_text && point.x == m_point.x && point.y == m_point.y && type == m_type
        && mode == m_mode)
        return FALSE;
    m_bHasMessage = true;
    m_text = newText;
    m_point = point;
    m_type = type;
    m_mode = mode;
    Render();
    if (IsAlive()) {
        ::KillTimer(m_hWnd, kHideTimerId);
        if (type != 4)
            ::SetTimer(m_hWnd, kHideTimerId, kHideDelay, nullptr);
    }
    return TRUE;
}

Gdiplus::Image* MAirBladder::Picture(Gdiplus::Image*& slot, const wchar_t* name)
{
    if (slot == nullptr)
        slot = MRender::LoadImageFromFile(GetSkinFolder() + name);
    return slot;
}

void MAirBladder::Render()
{
    if (!IsAlive())
        return;
    Gdiplus::FontFamily* shared = m_pOwner ? m_pOwner->FindTempFont(nullptr) : nullptr;
    Gdiplus::FontFamily fallback(L"Arial");
    Gdiplus::Font font(shared ? shared : &fallback, static_cast<Gdiplus::REAL>(Manager::GetFontWidth()),
                       Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    CSize textSize = MRender::GetTextBounds(font, m_text);
    int bodyW = static_cast<int>(textSize.cx) + 2 * kPadX;
    int bodyH = std::max(static_cast<int>(textSize.cy) + 2 * kPadY, 2 * kCorner + 2);

    // Body and arrow inside the window, and the window's place on the screen.
    CRect body, arrow;
    Gdiplus::Image* arrowImage = nullptr;
    int cx = bodyW, cy = bodyH, x = 0, y = 0;
    if (m_mode == 1 || m_mode == 2) {
        cx = bodyW + kArrow;
        int arrowTop = (bodyH - kArrowSpan) / 2;
        if (m_mode == 1) {
            body = CRect(kArrow, 0, cx, bodyH);
            arrow = CRect(0, arrowTop, kArrow, arrowTop + kArrowSpan);
            arrowImage = Picture(m_pArrowLeft, L"img_tip_arrow_left.png");
            x = m_point.x;
        } else {
            body = CRect(0, 0, bodyW, bodyH);
            arrow = CRect(bodyW, arrowTop, cx, arrowTop + kArrowSpan);
            arrowImage = Picture(m_pArrowRight, L"img_tip_arrow_right.png");
            x = m_point.x - cx;
        }
        y = m_point.y - bodyH / 2;
    } else {
        cy = bodyH + kArrow;
        int tip = m_type == 0 ? kArrowSpan + 2 : (m_type == 2 ? bodyW - kArrowSpan - 2 : bodyW / 2);
        body = CRect(0, kArrow, bodyW, cy);
        arrow = CRect(tip - kArrowSpan / 2, 0, tip + kArrowSpan / 2, kArrow);
        arrowImage = Picture(m_pArrowTop, L"img_tip_arrow_top.png");
        x = m_point.x - tip;
        y = m_point.y;
    }
    m_rcWindow = {x, y, x + cx, y + cy};

    LayeredCanvas canvas(cx, cy);
    if (!canvas.IsValid())
        return;
    {
        Gdiplus::Graphics graphics(canvas.Bitmap());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        if (Gdiplus::Image* image = Picture(m_pBody, L"img_tip_bk.png")) {
            MRender::DrawImageFrame(graphics, image, body, 0, 0, static_cast<int>(image->GetWidth()),
                                    static_cast<int>(image->GetHeight()), kCorner);
        } else {
            MRender::DrawRoundRectange(graphics, static_cast<float>(body.left), static_cast<float>(body.top),
                                       static_cast<float>(body.Width()), static_cast<float>(body.Height()),
                                       static_cast<float>(kCorner), Gdiplus::Color(0xF0, 0x26, 0x31, 0x3D));
        }
        if (arrowImage != nullptr) {
            graphics.DrawImage(arrowImage, Gdiplus::Rect(arrow.left, arrow.top, arrow.Width(), arrow.Height()), 0,
                               0, static_cast<INT>(arrowImage->GetWidth()),
                               static_cast<INT>(arrowImage->GetHeight()), Gdiplus::UnitPixel);
        }
        Gdiplus::StringFormat format(0, LANG_NEUTRAL);
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        format.SetFormatFlags(0x1800);
        Gdiplus::SolidBrush brush(Gdiplus::Color(0xFF, 0xFF, 0xFF, 0xFF));
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        Gdiplus::RectF layout(static_cast<float>(body.left), static_cast<float>(body.top),
                              static_cast<float>(body.Width()), static_cast<float>(body.Height()));
        graphics.DrawString(m_text.GetString(), m_text.GetLength(), &font, layout, &format, &brush);
    }
    canvas.Present(m_hWnd, x, y);
}
