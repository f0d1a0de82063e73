#include "MWindow.h"

#include <algorithm>
#include <vector>

#include "Manager.h"

namespace {

const wchar_t kControlProp[] = L"Control";

bool IsUsableHandle(HWND hwnd) { return hwnd != nullptr && hwnd != reinterpret_cast<HWND>(-1); }

// The modal loops running on this thread, innermost last. A window's WM_CLOSE
// may be dispatched by a loop nested inside its own (a box opened over it),
// so the result is recorded where the window procedure sees the message, not
// where its own loop takes it.
struct ModalFrame {
    HWND window;
    HWND owner;
    UINT result;
};
thread_local std::vector<ModalFrame*> t_modalFrames;

void RecordModalClose(HWND hwnd, WPARAM result)
{
    for (ModalFrame* frame : t_modalFrames) {
        if (frame->window == hwnd) {
            frame->result = static_cast<UINT>(result);
            // The owner comes back before the window goes, so it is the one activated.
            ::EnableWindow(frame->owner, TRUE);
            ::SetFocus(frame->owner);
        }
    }
}

BOOL RegisterClassOnce(WNDCLASSW& wc)
{
    if (::RegisterClassW(&wc) != 0)
        return TRUE;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? TRUE : FALSE;
}

} // namespace

MWindow::MWindow() : m_hParent(nullptr), m_hWnd(nullptr), m_OldWndProc(::DefWindowProcW) {}

MWindow::~MWindow() = default;

const wchar_t* MWindow::GetWindowClassName() { return L"QLWindow"; }
const wchar_t* MWindow::GetSuperClassName() { return nullptr; }

BOOL MWindow::ShowWindow(int nCmdShow)
{
    if (!IsUsableHandle(m_hWnd))
        return FALSE;
    return ::ShowWindow(m_hWnd, nCmdShow);
}

LRESULT MWindow::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

BOOL MWindow::PreTranslateMessage(MSG*) { return FALSE; }
BOOL MWindow::OnInitDialog() { return TRUE; }
void MWindow::OnDestroyMessage(HWND) {}

BOOL MWindow::IsAlive() const { return IsUsableHandle(m_hWnd) && ::IsWindow(m_hWnd); }

BOOL MWindow::RegisterWindowClass()
{
    WNDCLASSW wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = Manager::GetInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    return RegisterClassOnce(wc);
}

BOOL MWindow::RegisterSuperClass()
{
    WNDCLASSEXW found = {};
    found.cbSize = sizeof(found);
    const wchar_t* super = GetSuperClassName();
    if (!::GetClassInfoExW(nullptr, super, &found)
        && !::GetClassInfoExW(Manager::GetInstance(), super, &found))
        return FALSE;
    m_OldWndProc = found.lpfnWndProc;
    WNDCLASSW wc = {};
    wc.style = found.style;
    wc.cbClsExtra = found.cbClsExtra;
    wc.cbWndExtra = found.cbWndExtra;
    wc.hIcon = found.hIcon;
    wc.hCursor = found.hCursor;
    wc.hbrBackground = found.hbrBackground;
    wc.lpszMenuName = found.lpszMenuName;
    wc.lpfnWndProc = ControlProc;
    wc.hInstance = Manager::GetInstance();
    wc.lpszClassName = GetWindowClassName();
    return RegisterClassOnce(wc);
}

HWND MWindow::Create(HWND parent) { return Create(parent, L"MWindow", 0x0000080B, 0, CRect(0, 0, 800, 600), nullptr); }
HWND MWindow::Create(HWND parent, CRect rect) { return Create(parent, L"MWindow", 0x0000080B, 0, rect, nullptr); }

HWND MWindow::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, CRect rect)
{
    return Create(parent, title, style, exStyle, rect, nullptr);
}

HWND MWindow::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, CRect rect, HMENU menu)
{
    if (IsAlive())
        return m_hWnd;
    m_hParent = parent;
    if (GetSuperClassName() != nullptr) {
        if (!RegisterSuperClass())
            return nullptr;
    } else if (!RegisterWindowClass()) {
        return nullptr;
    }
    m_hWnd = ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, rect.left, rect.top, rect.Width(),
                               rect.Height(), parent, menu, Manager::GetInstance(), this);
    OnInitDialog();
    return m_hWnd;
}

UINT MWindow::ShowModal(int nCmdShow)
{
    if (!IsAlive())
        return 0xFFFFFFFF;
    HWND hwnd = m_hWnd;
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    ModalFrame frame{hwnd, owner, 0};
    t_modalFrames.push_back(&frame);
    ::ShowWindow(hwnd, nCmdShow);
    ::EnableWindow(owner, FALSE);
    MSG msg = {};
    bool quit = false;
    while (::IsWindow(hwnd)) {
        if (::GetMessageW(&msg, nullptr, 0, 0) == 0) {
            quit = true;
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    t_modalFrames.erase(std::find(t_modalFrames.begin(), t_modalFrames.end(), &frame));
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
    if (quit)
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    return frame.result;
}

LRESULT CALLBACK MWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<MWindow*>(cs->lpCreateParams);
        if (self != nullptr) {
            self->m_hWnd = hwnd;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<MWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_NCDESTROY && self != nullptr) {
            LRESULT result = ::CallWindowProcW(self->m_OldWndProc, hwnd, msg, wParam, lParam);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->m_hWnd = nullptr;
            self->OnDestroyMessage(hwnd);
            return result;
        }
    }
    if (msg == WM_CLOSE)
        RecordModalClose(hwnd, wParam);
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnWindowMessage(msg, wParam, lParam);
}

LRESULT CALLBACK MWindow::ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MWindow* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<MWindow*>(cs->lpCreateParams);
        if (self != nullptr) {
            ::SetPropW(hwnd, kControlProp, self);
            self->m_hWnd = hwnd;
        }
    } else {
        self = static_cast<MWindow*>(::GetPropW(hwnd, kControlProp));
        if (msg == WM_NCDESTROY && self != nullptr) {
            LRESULT result = ::CallWindowProcW(self->m_OldWndProc, hwnd, msg, wParam, lParam);
            ::SetPropW(hwnd, kControlProp, nullptr);
            self->m_hWnd = nullptr;
            self->OnDestroyMessage(hwnd);
            return result;
        }
    }
    if (self == nullptr)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->OnWindowMessage(msg, wParam, lParam);
}

LRESULT MWindow::SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return IsUsableHandle(m_hWnd) ? ::SendMessageW(m_hWnd, msg, wParam, lParam) : 0;
}

BOOL MWindow::PostMessageW(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return IsUsableHandle(m_hWnd) ? ::PostMessageW(m_hWnd, msg, wParam, lParam) : FALSE;
}

DWORD MWindow::GetStyle()
{
    return IsUsableHandle(m_hWnd) ? static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)) : 0;
}

DWORD MWindow::GetExStyle()
{
    return IsUsableHandle(m_hWnd) ? static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)) : 0;
}

namespace {

BOOL ModifyLong(HWND hwnd, int index, DWORD remove, DWORD add, UINT flags)
{
    if (!IsUsableHandle(hwnd))
        return FALSE;
    DWORD old = static_cast<DWORD>(::GetWindowLongW(hwnd, index));
    DWORD updated = (old & ~remove) | add;
    if (updated == old)
        return FALSE;
    ::SetWindowLongW(hwnd, index, static_cast<LONG>(updated));
    if (flags != 0)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags | 0x17);
    return TRUE;
}

} // namespace

BOOL MWindow::ModifyStyle(DWORD remove, DWORD add, UINT flags) { return ModifyLong(m_hWnd, GWL_STYLE, remove, add, flags); }

BOOL MWindow::ModifyExStyle(DWORD remove, DWORD add, UINT flags)
{
    return ModifyLong(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

BOOL MWindow::GetClientRect(LPRECT rect) { return IsAlive() ? ::GetClientRect(m_hWnd, rect) : FALSE; }
BOOL MWindow::GetWindowRect(LPRECT rect) { return IsAlive() ? ::GetWindowRect(m_hWnd, rect) : FALSE; }
BOOL MWindow::SetWindowTextW(const wchar_t* text) { return IsAlive() ? ::SetWindowTextW(m_hWnd, text) : FALSE; }

int MWindow::GetWindowTextW(CString& text)
{
    if (!IsAlive())
        return 0;
    int length = ::GetWindowTextLengthW(m_hWnd);
    int copied = ::GetWindowTextW(m_hWnd, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer(copied);
    return copied;
}

int MWindow::GetWindowTextLengthW() { return IsAlive() ? ::GetWindowTextLengthW(m_hWnd) : -1; }
BOOL MWindow::EnableWindow(BOOL enable) { return IsAlive() ? ::EnableWindow(m_hWnd, enable) : FALSE; }
BOOL MWindow::IsWindowEnabled() { return IsAlive() ? ::IsWindowEnabled(m_hWnd) : FALSE; }
BOOL MWindow::IsWindowVisible() { return IsAlive() ? ::IsWindowVisible(m_hWnd) : FALSE; }
BOOL MWindow::IsIconic() { return IsAlive() ? ::IsIconic(m_hWnd) : FALSE; }
BOOL MWindow::InvalidateRect(CRect rect, BOOL erase) { return IsAlive() ? ::InvalidateRect(m_hWnd, &rect, erase) : FALSE; }
HWND MWindow::SetCapture() { return IsAlive() ? ::SetCapture(m_hWnd) : nullptr; }
BOOL MWindow::ReleaseCapture() { return IsAlive() ? ::ReleaseCapture() : FALSE; }
HWND MWindow::SetFocus() { return IsAlive() ? ::SetFocus(m_hWnd) : nullptr; }

UINT_PTR MWindow::SetTimer(UINT id, UINT elapse, TIMERPROC proc)
{
    return IsAlive() ? ::SetTimer(m_hWnd, id, elapse, proc) : 0;
}

BOOL MWindow::KillTimer(UINT id) { return IsAlive() ? ::KillTimer(m_hWnd, id) : FALSE; }
BOOL MWindow::ClientToScreen(LPPOINT point) { return IsAlive() ? ::ClientToScreen(m_hWnd, point) : FALSE; }

BOOL MWindow::ClientToScreen(LPRECT rect)
{
    if (!IsAlive())
        return FALSE;
    ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&rect->left));
    return ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&rect->right));
}

BOOL MWindow::ScreenToClient(LPPOINT point) { return IsAlive() ? ::ScreenToClient(m_hWnd, point) : FALSE; }

BOOL MWindow::ScreenToClient(LPRECT rect)
{
    if (!IsAlive())
        return FALSE;
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&rect->left));
    return ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&rect->right));
}

BOOL MWindow::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return IsAlive() ? ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags) : FALSE;
}

BOOL MWindow::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    return IsAlive() ? ::MoveWindow(m_hWnd, x, y, width, height, repaint) : FALSE;
}

BOOL MWindow::MoveWindow(const RECT* rect, BOOL repaint)
{
    return MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL MWindow::DestroyWindow() { return IsAlive() ? ::DestroyWindow(m_hWnd) : FALSE; }

void MWindow::CenterWindow(MWindow* alternateOwner)
{
    if (!IsAlive())
        return;
    DWORD style = GetStyle();
    HWND centre = nullptr;
    if (alternateOwner != nullptr && alternateOwner->GetSafeHwnd() != nullptr)
        centre = alternateOwner->GetSafeHwnd();
    else if (style & WS_CHILD)
        centre = ::GetParent(m_hWnd);
    else
        centre = ::GetWindow(m_hWnd, GW_OWNER);

    RECT self;
    ::GetWindowRect(m_hWnd, &self);
    int width = self.right - self.left;
    int height = self.bottom - self.top;

    RECT area;
    RECT centreRect;
    if (style & WS_CHILD) {
        HWND parent = ::GetParent(m_hWnd);
        ::GetClientRect(parent, &area);
        ::GetClientRect(centre, &centreRect);
        ::MapWindowPoints(centre, parent, reinterpret_cast<LPPOINT>(&centreRect), 2);
    } else {
        if (centre != nullptr) {
            DWORD centreStyle = static_cast<DWORD>(::GetWindowLongW(centre, GWL_STYLE));
            if ((centreStyle & (WS_VISIBLE | WS_MINIMIZE)) != WS_VISIBLE)
                centre = nullptr;
        }
        MONITORINFO info = {};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoW(::MonitorFromWindow(centre ? centre : m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
        area = info.rcWork;
        if (centre != nullptr)
            ::GetWindowRect(centre, &centreRect);
        else
            centreRect = area;
    }

    int x = (centreRect.left + centreRect.right) / 2 - width / 2;
    int y = (centreRect.top + centreRect.bottom) / 2 - height / 2;
    if (x + width > area.right)
        x = area.right - width;
    if (x < area.left)
        x = area.left;
    if (y + height > area.bottom)
        y = area.bottom - height;
    if (y < area.top)
        y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MWindow::BringToTop()
{
    if (!IsAlive())
        return;
    HWND foreground = ::GetForegroundWindow();
    DWORD foregroundThread = ::GetWindowThreadProcessId(foreground, nullptr);
    DWORD ownThread = ::GetWindowThreadProcessId(m_hWnd, nullptr);
    if (foregroundThread == ownThread) {
        ::SetForegroundWindow(m_hWnd);
    } else {
        ::AttachThreadInput(foregroundThread, ownThread, TRUE);
        ::AllowSetForegroundWindow(ASFW_ANY);
        ::SetForegroundWindow(m_hWnd);
        ::AttachThreadInput(foregroundThread, ownThread, FALSE);
    }
    ::ShowWindow(m_hWnd, (GetStyle() & WS_MINIMIZE) ? SW_RESTORE : SW_SHOW);
}

void MWindow::SetIcon(UINT resourceId)
{
    if (!IsAlive())
        return;
    // Shared icons belong to the system: loading one again gives the same
    // handle, and the ones WM_SETICON hands back need no freeing.
    HINSTANCE module = Manager::GetInstance();
    const struct {
        WPARAM which;
        int cx;
        int cy;
    } sizes[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& size : sizes) {
        HANDLE icon = ::LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, ::GetSystemMetrics(size.cx),
                                   ::GetSystemMetrics(size.cy), LR_DEFAULTCOLOR | LR_SHARED);
        ::SendMessageW(m_hWnd, WM_SETICON, size.which, reinterpret_cast<LPARAM>(icon));
    }
}
