#include "MDialog.h"

#include "MControl.h"
#include "MShadow.h"

namespace {

bool IsUsableHandle(HWND hwnd) { return hwnd != nullptr && hwnd != reinterpret_cast<HWND>(-1); }

CPoint MousePoint(LPARAM lParam) { return CPoint(lParam); }

} // namespace

MDialog::MDialog()
    : m_crTranslucentKey(0xFFFFFF), m_nTranslucentAlpha(255), m_nMsgOffset(0), m_nTooltipCtrlID(0)
{
}

MDialog::~MDialog()
{
    // A window left behind would keep calling into a deleted object.
    if (IsAlive())
        ::DestroyWindow(m_hWnd);
}

LRESULT MDialog::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_QLUI_CLOSEWINDOW:
        return OnUserCloseWindow(wParam, lParam);
    case WM_CREATE:
        OnCreate(reinterpret_cast<CREATESTRUCTW*>(lParam));
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), MousePoint(lParam).x, MousePoint(lParam).y);
        break;
    case WM_PAINT:
        OnPaint();
        break;
    case WM_CLOSE:
        OnClose();
        break;
    case WM_WINDOWPOSCHANGING:
        OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_WINDOWPOSCHANGED:
        OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
        break;
    case WM_NCACTIVATE:
        OnNcActivate(static_cast<BOOL>(wParam));
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT>(wParam));
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_RBUTTONDOWN:
        OnRButtonDown(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_RBUTTONUP:
        OnRButtonUp(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_RBUTTONDBLCLK:
        OnRButtonDblClk(static_cast<UINT>(wParam), MousePoint(lParam));
        break;
    case WM_MOUSEHOVER:
        OnMouseHover(static_cast<UINT>(wParam), static_cast<LONG>(lParam));
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave(static_cast<UINT>(wParam), static_cast<LONG>(lParam));
        break;
    default:
        break;
    }
    if (MShadow* shadow = m_PaintManager.GetShadow())
        shadow->OnOwnerMessage(msg, wParam);
    LRESULT handled = m_PaintManager.OnWindowMessage(msg, wParam, lParam);
    if (handled != 0)
        return handled;
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

BOOL MDialog::PreTranslateMessage(MSG* msg) { return m_PaintManager.PreTranslateMessage(msg) ? TRUE : FALSE; }

BOOL MDialog::OnInitDialog()
{
    m_PaintManager.Init(m_hWnd, this);
    if (IsAlive())
        ::GetClientRect(m_hWnd, &m_rcClient);
    InitUI(m_rcClient);
    return TRUE;
}

void MDialog::OnDestroyMessage(HWND hwnd)
{
    if (hwnd == m_PaintManager.GetPaintWnd())
        m_PaintManager.DestroyData();
    PostNcDestroy();
}

POINT MDialog::GetAirBladderPoint(MControl* control, UINT type)
{
    POINT pt = {0, 0};
    if (control == nullptr)
        return pt;
    CRect rect = control->GetRect();
    if (type == 1)
        pt.x = rect.left + (rect.right - rect.left) / 2;
    else if (type == 2)
        pt.x = rect.right;
    else
        pt.x = rect.left;
    pt.y = rect.bottom;
    ClientToScreen(&pt);
    return pt;
}

void MDialog::OnMinimize() { ShowWindow(SW_MINIMIZE); }

void MDialog::OnMaximize()
{
    if (IsAlive() && ::IsZoomed(m_hWnd))
        ShowWindow(SW_RESTORE);
    else
        ShowWindow(SW_MAXIMIZE);
}

void MDialog::InitUI(CRect) {}
void MDialog::UISize(CRect) {}
LRESULT MDialog::OnMessage(UINT, UINT, UINT, LPARAM) { return 0; }

LRESULT MDialog::OnUserCloseWindow(WPARAM code, LPARAM lParam)
{
    if (IsUsableHandle(m_hWnd))
        ::PostMessageW(m_hWnd, WM_CLOSE, code, lParam);
    return 1;
}

BOOL MDialog::OnCreate(CREATESTRUCTW*)
{
    // No caption and no sizing frame: the dialog draws its own frame.
    DWORD style = static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
    ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>((style & 0xFF3BFFFF) | 0x06000008));
    return TRUE;
}

LRESULT MDialog::OnSize(UINT, int, int)
{
    if (!IsIconic())
        SetupBackTranslucent();
    GetClientRect(&m_rcClient);
    if (m_rcClient.Width() > 1 && m_rcClient.Height() > 1)
        UISize(m_rcClient);
    if (IsAlive())
        ::InvalidateRect(m_hWnd, &m_rcClient, FALSE);
    return 0;
}

LRESULT MDialog::OnMouseMove(UINT, CPoint) { return 0; }
LRESULT MDialog::OnMouseLeave(UINT, LONG) { return 0; }
LRESULT MDialog::OnMouseHover(UINT, LONG) { return 0; }
LRESULT MDialog::OnMouseWheel(UINT, short, CPoint) { return 0; }
LRESULT MDialog::OnLButtonDown(UINT, CPoint) { return 0; }
LRESULT MDialog::OnLButtonUp(UINT, CPoint) { return 0; }
LRESULT MDialog::OnLButtonDblClk(UINT, CPoint) { return 0; }
LRESULT MDialog::OnRButtonDown(UINT, CPoint) { return 0; }
LRESULT MDialog::OnRButtonUp(UINT, CPoint) { return 0; }
LRESULT MDialog::OnRButtonDblClk(UINT, CPoint) { return 0; }
LRESULT MDialog::OnKeyDown(UINT, UINT, UINT) { return 0; }
LRESULT MDialog::OnNcHitTest(CPoint) { return 0; }
LRESULT MDialog::OnGetMinMaxInfo(MINMAXINFO*) { return 0; }
LRESULT MDialog::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) { return 0; }
LRESULT MDialog::OnNcActivate(BOOL) { return 0; }
LRESULT MDialog::OnWindowPosChanging(WINDOWPOS*) { return 1; }
LRESULT MDialog::OnWindowPosChanged(WINDOWPOS*) { return 1; }
LRESULT MDialog::OnPaint() { return 0; }
void MDialog::OnTimer(UINT) {}
LRESULT MDialog::OnNcPaint() { return 0; }
LRESULT MDialog::OnClose() { return 1; }
LRESULT MDialog::OnDestroy() { return 0; }
LRESULT MDialog::PostNcDestroy() { return 0; }

const wchar_t* MDialog::GetClassNameW() { return L"MDialog"; }

LRESULT MDialog::OnBaseMessage(UINT id, UINT code, UINT wParam, LPARAM lParam)
{
    return OnMessage(id, code, wParam, lParam);
}

LRESULT MDialog::OnControlUpdate(CRect rect, BOOL flag, MControl* control)
{
    return m_PaintManager.OnControlUpdate(rect, flag, control);
}

MControl* MDialog::CreateControl(const wchar_t* className, UINT id, CRect rect, const wchar_t* text, int visible,
                                 int enabled)
{
    return m_PaintManager.CreateControl(1, static_cast<MObject*>(this), className, id, rect, text, visible, enabled);
}

MControl* MDialog::CreateArea(const wchar_t* className, UINT id, CRect rect, const wchar_t* text, int visible,
                              int enabled)
{
    return m_PaintManager.CreateControl(0, static_cast<MObject*>(this), className, id, rect, text, visible, enabled);
}

MControl* MDialog::GetControl(UINT id) { return m_PaintManager.GetControl(id); }
std::vector<MControl*>& MDialog::GetControls() { return m_PaintManager.GetControls(); }
void MDialog::SetFocusControl(MControl* control) { m_PaintManager.SetFocusControl(control); }

void MDialog::DoOK() { PostMessageW(WM_QLUI_CLOSEWINDOW, QLUI_IDOK, 0); }
void MDialog::DoCancel() { PostMessageW(WM_QLUI_CLOSEWINDOW, QLUI_IDCANCEL, 0); }
void MDialog::DoClose() { PostMessageW(WM_QLUI_CLOSEWINDOW, QLUI_IDCANCEL, 0); }
void MDialog::DoYes() { PostMessageW(WM_QLUI_CLOSEWINDOW, QLUI_IDYES, 0); }
void MDialog::DoNo() { PostMessageW(WM_QLUI_CLOSEWINDOW, QLUI_IDNO, 0); }

BOOL MDialog::LoadBKImage(CString fileName) { return m_PaintManager.LoadBKImage(fileName); }

BOOL MDialog::LoadBKImage(UINT resourceId, CString resourceType)
{
    return m_PaintManager.LoadBKImage(resourceId, resourceType);
}

void MDialog::SetBackMode(enumBackMode mode, int param) { m_PaintManager.SetBackMode(mode, param); }
void MDialog::SetLayeredWindow(BOOL layered) { m_PaintManager.SetLayeredWindow(layered); }
void MDialog::EnableWndDrag(BOOL enable) { m_PaintManager.EnableWndDrag(enable); }

void MDialog::SetupBackTranslucent()
{
    if (!IsAlive())
        return;
    if (m_nTranslucentAlpha != 255) {
        ModifyExStyle(0, WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(m_hWnd, 0, static_cast<BYTE>(m_nTranslucentAlpha), LWA_ALPHA);
    } else if (m_crTranslucentKey != 0xFFFFFF) {
        ModifyExStyle(0, WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(m_hWnd, m_crTranslucentKey, 255, LWA_COLORKEY);
    }
}

void MDialog::SetBackTranslucent(int alpha, COLORREF colourKey)
{
    if (alpha < 0 || alpha > 255)
        return;
    m_nTranslucentAlpha = alpha;
    m_crTranslucentKey = colourKey;
}

void MDialog::SetScrollResID(UINT vertical, UINT horizontal) { m_PaintManager.SetScrollResID(vertical, horizontal); }
void MDialog::SetupRegion(int) {}

void MDialog::SetTooltip(CString text, CRect rect) { m_PaintManager.SetTooltip(text, rect); }
void MDialog::ClearTooltip() { m_PaintManager.ClearTooltip(); }

BOOL MDialog::SetAirBladderMsg(const wchar_t* text, POINT screenPoint, AIRBLADDER_TYPE type)
{
    if (screenPoint.x == 0 || screenPoint.y == 0)
        return FALSE;
    m_PaintManager.SetAirBladderMsg(text, screenPoint, type, 3);
    if (HWND balloon = m_PaintManager.GetAirBladderWnd())
        ::ShowWindow(balloon, SW_SHOWNOACTIVATE);
    return TRUE;
}

void MDialog::SetMessage(CString text, CRect rect, MsgLevel level)
{
    if (rect.IsRectEmpty() || rect.IsRectNull()) {
        CRect client;
        GetClientRect(&client);
        int width = client.Width();
        rect = CRect(width / 2 - 100, client.bottom - 60, width / 2 + 100, client.bottom - 2);
        rect.OffsetRect(0, m_nMsgOffset);
    }
    m_PaintManager.SetMessage(text, rect, level);
}

void MDialog::SetProgress(int value, CString text, CRect rect) { m_PaintManager.SetProgress(value, text, rect); }
UINT MDialog::SetMTimer(UINT elapse) { return m_PaintManager.SetMTimer(elapse); }
void MDialog::KillMTimer(UINT id) { m_PaintManager.KillMTimer(id); }

MShadow* MDialog::Shadow()
{
    MShadow* shadow = m_PaintManager.GetShadow();
    if (shadow == nullptr) {
        shadow = new MShadow(&m_PaintManager);
        m_PaintManager.SetShadow(shadow, &MShadow::Destroy);
    }
    return shadow;
}

BOOL MDialog::CreateShadow(BOOL show, bool)
{
    if (!IsAlive())
        return FALSE;
    MShadow* shadow = Shadow();
    if (!shadow->Create(m_hWnd))
        return FALSE;
    return SetShadowShow(show);
}

BOOL MDialog::SetSize(int size)
{
    if (size < -35 || size > 35)
        return FALSE;
    Shadow()->SetSize(size);
    return TRUE;
}

BOOL MDialog::SetSharpness(UINT sharpness)
{
    if (sharpness > 35)
        return FALSE;
    Shadow()->SetSharpness(static_cast<int>(sharpness));
    return TRUE;
}

BOOL MDialog::SetDarkness(UINT darkness)
{
    if (darkness > 255)
        return FALSE;
    Shadow()->SetDarkness(static_cast<int>(darkness));
    return TRUE;
}

BOOL MDialog::SetPosition(int x, int y)
{
    if (x < -35 || x > 35 || y < -35 || y > 35)
        return FALSE;
    Shadow()->SetPosition(x, y);
    return TRUE;
}

BOOL MDialog::SetShadowColor(COLORREF colour)
{
    Shadow()->SetColor(colour);
    return TRUE;
}

BOOL MDialog::SetShadowImage(const wchar_t* file, CRect edges)
{
    return Shadow()->SetImage(file, edges);
}

BOOL MDialog::SetShadowImage(UINT resourceId, CRect edges)
{
    return Shadow()->SetImage(resourceId, edges);
}

BOOL MDialog::SetShadowShow(BOOL show)
{
    MShadow* shadow = Shadow();
    m_PaintManager.SetShadowShown(show);
    shadow->Show(show);
    return TRUE;
}
