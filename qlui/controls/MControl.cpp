#include "MControl.h"

#include <cwchar>

#include "ControlNotify.h"
#include "PaintManager.h"
#include "RectUtil.h"
#include "ScopedLock.h"
#include "UniqueResource.h"

namespace {

void ReleaseCache(HDC& dc, HBITMAP& bitmap, HBITMAP& displaced)
{
    // Declared first so it goes last, once the DC no longer holds it.
    UniqueGdiObject ownedBitmap(std::exchange(bitmap, nullptr));
    UniqueMemoryDc ownedDc(std::exchange(dc, nullptr));
    if (ownedDc)
        ::SelectObject(ownedDc.get(), displaced);
    displaced = nullptr;
}

void CreateCache(HDC target, int cx, int cy, HDC& dc, HBITMAP& bitmap, HBITMAP& displaced)
{
    dc = ::CreateCompatibleDC(target);
    bitmap = ::CreateCompatibleBitmap(target, cx, cy);
    displaced = static_cast<HBITMAP>(::SelectObject(dc, bitmap));
}

} // namespace

MControl::MControl(MObject* parent, UINT id, CRect rect, int visible, int enabled, int response)
    : m_pParent(parent), m_pManager(nullptr), m_nID(id), m_rect(rect), m_bVisible(visible), m_bEnabled(enabled),
      m_bDragDrop(0), m_bResponse(response), m_bTabStop(0), m_bDblClk(0), m_bPressCapture(0), m_bKeyDown(0),
      m_bFocused(0), m_nAccelKey(0), m_nAccelFlags(0), m_bUpdate(0), m_bAnimate(0), m_bRunTimer(0), m_bRunning(0),
      m_bImageECM(0), m_pActiveChild(nullptr), m_nMemCx(0), m_nMemCy(0), m_hMemBitmap(nullptr), m_hMemDC(nullptr),
      m_hOldMemBitmap(nullptr), m_nAniCx(0), m_nAniCy(0), m_hAniBitmap(nullptr), m_hAniDC(nullptr),
      m_hOldAniBitmap(nullptr), m_hCursor(nullptr), m_bHoverTracking(0), m_bDblClkNotify(0), m_bKeyNotify(0),
      m_bMouseOutside(1)
{
    ::InitializeCriticalSection(&m_csAreas);
    ::InitializeCriticalSection(&m_csControls);
}

MControl::~MControl()
{
    RemoveAllControl();
    if (m_pManager != nullptr)
        m_pManager->ForgetControl(this);
    ReleaseCache(m_hMemDC, m_hMemBitmap, m_hOldMemBitmap);
    ReleaseCache(m_hAniDC, m_hAniBitmap, m_hOldAniBitmap);
    ::DeleteCriticalSection(&m_csAreas);
    ::DeleteCriticalSection(&m_csControls);
}

const wchar_t* MControl::GetClassNameW() { return L"MControl"; }
LRESULT MControl::OnBaseMessage(UINT, UINT, UINT, LPARAM) { return 0; }
LRESULT MControl::OnControlUpdate(CRect, BOOL, MControl*) { return 0; }
void MControl::InitControl(PaintManager*) {}

int MControl::OnScroll(int delta, UINT flags, CPoint pt)
{
    if (!m_bVisible || !m_bResponse || !m_bEnabled)
        return 0;
    if (m_pActiveChild != nullptr && m_pActiveChild->PtInRect(pt) && m_pActiveChild->OnCheckMouseResponse(flags, pt))
        return m_pActiveChild->OnScroll(delta, flags, pt);
    if (!m_rect.PtInRect(pt))
        return 0;
    if (OnControlScroll(delta, flags, pt))
        return 1;
    ScopedLock lock(m_csControls);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        MControl* child = m_controls[i];
        if (child->PtInRect(pt) && child->OnScroll(delta, flags, pt))
            return 1;
    }
    return 0;
}

int MControl::PtInRect(CPoint pt) { return m_bVisible ? m_rect.PtInRect(pt) : 0; }

int MControl::DrawSubControls(HDC& dc, CRect paint)
{
    ScopedLock lock(m_csControls);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (m_controls[i]->IsVisible())
            m_controls[i]->Draw(dc, paint);
    }
    return 1;
}

int MControl::IsDraw(CPoint) { return 0; }

void MControl::SetUpdate(int update, DWORD param)
{
    m_bUpdate = update;
    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (Intersects(m_controls[i]->m_rect, m_rect))
            m_controls[i]->SetUpdate(update, param);
    }
}

int MControl::SetControlFocus(int focus)
{
    if (focus == 0) {
        ScopedLock lock(m_csControls);
        for (size_t i = 0; i < m_controls.size(); ++i)
            m_controls[i]->SetControlFocus(0);
    }
    return 0;
}

void MControl::InitUI(CRect) {}
int MControl::OnMousePointChange(CPoint&) { return 0; }
int MControl::OnCheckMouseResponse(UINT, CPoint) { return 1; }
LRESULT MControl::OnWindowMessage(UINT, WPARAM, LPARAM) { return 0; }
LRESULT MControl::OnMessage(UINT, UINT, UINT, LPARAM) { return 0; }
void MControl::SetControlRect(CRect rect) { m_rect = rect; }
void MControl::SetControlVisible(int visible) { m_bVisible = visible; }
void MControl::SetControlWndVisible(int) {}
void MControl::SetControlEnabled(int enabled) { m_bEnabled = enabled; }
int MControl::OnControlTimer() { return 0; }
HBITMAP MControl::GetControlDropBitmap() { return nullptr; }
int MControl::OnControlMouseMove(UINT, CPoint) { return 0; }

int MControl::OnControlSetCursor(UINT, CPoint pt)
{
    if (m_hCursor != nullptr && m_rect.PtInRect(pt)) {
        ::SetCursor(m_hCursor);
        return 1;
    }
    return 0;
}

int MControl::OnControlLButtonDown(UINT, CPoint) { return 0; }
int MControl::OnControlLButtonUp(UINT, CPoint) { return 0; }
int MControl::OnControlLButtonDblClk(UINT, CPoint) { return 0; }
int MControl::OnControlScroll(int, UINT, CPoint) { return 0; }
int MControl::OnControlRButtonDown(UINT, CPoint) { return 0; }
int MControl::OnControlRButtonUp(UINT, CPoint) { return 0; }
int MControl::OnControlRButtonDblClk(UINT, CPoint) { return 0; }

int MControl::OnControlKeyDown(UINT key, UINT, UINT flags)
{
    return (m_nAccelKey != 0 && m_nAccelKey == key && m_nAccelFlags == flags) ? 1 : 0;
}

void MControl::OnPositionChange() {}

void MControl::InvalidateRect(const RECT*, BOOL erase)
{
    if (m_pManager == nullptr)
        return;
    HWND hwnd = m_pManager->GetPaintWnd();
    if (hwnd == nullptr || !::IsWindow(hwnd))
        return;
    if (m_pManager->IsLayered())
        ::InvalidateRect(hwnd, nullptr, TRUE);
    else
        ::InvalidateRect(hwnd, &m_rect, erase);
}

void MControl::SetManager(PaintManager* manager)
{
    m_pManager = manager;
    InitControl(manager);
}

void MControl::SetRect(CRect rect)
{
    CRect both;
    both.UnionRect(&m_rect, &rect);
    SetControlRect(rect);
    if (m_bVisible && m_pParent != nullptr)
        m_pParent->OnControlUpdate(both, 1, this);
}

void MControl::SetRect(int x, int y, int cx, int cy) { SetRect(CRect(x, y, x + cx, y + cy)); }

void MControl::SetVisible(int visible) { SetVisible(visible, 1); }

void MControl::SetVisible(int visible, int notify)
{
    if (visible == m_bVisible)
        return;
    SetControlVisible(visible);
    if (notify && m_pParent != nullptr)
        m_pParent->OnControlUpdate(m_rect, 1, this);
}

void MControl::SetEnabled(int enabled)
{
    if (enabled == m_bEnabled)
        return;
    SetControlEnabled(enabled);
    if (m_bVisible && m_pParent != nullptr)
        m_pParent->OnControlUpdate(m_rect, 1, this);
}

int MControl::IsParentVisible()
{
    if (m_pParent == nullptr)
        return 0;
    const wchar_t* name = m_pParent->GetClassNameW();
    if (name != nullptr && std::wcscmp(name, L"MDialog") == 0)
        return 1;
    auto* parent = dynamic_cast<MControl*>(m_pParent);
    if (parent == nullptr)
        return 0;
    return (parent->m_bVisible && parent->IsParentVisible()) ? 1 : 0;
}

int MControl::SetCursorEx(const wchar_t* name)
{
    static const struct {
        const wchar_t* name;
        LPCWSTR id;
    } cursors[] = {{L"arrow", IDC_ARROW}, {L"wait", IDC_WAIT},     {L"cross", IDC_CROSS}, {L"sizewe", IDC_SIZEWE},
                   {L"sizens", IDC_SIZENS}, {L"hand", IDC_HAND}, {L"help", IDC_HELP}};
    if (name == nullptr)
        return 0;
    for (const auto& cursor : cursors) {
        if (std::wcscmp(cursor.name, name) == 0) {
            m_hCursor = ::LoadCursorW(nullptr, cursor.id);
            break;
        }
    }
    return 0;
}

void MControl::SetTooltip(const wchar_t* text) { m_tooltip = text ? text : L""; }

void MControl::SetTooltip(CString text, CRect rect)
{
    if (m_pManager == nullptr)
        return;
    m_pManager->SetTooltip(text, rect);
    m_pManager->SetTooltipCtrlID(static_cast<int>(m_nID));
}

void MControl::ClearTooltip()
{
    if (m_pManager == nullptr)
        return;
    m_pManager->ClearTooltip();
    m_pManager->SetTooltipCtrlID(0);
}

void MControl::SetTooltipCtrlID(int) {}
int MControl::GetTooltipCtrlID() { return 0; }

void MControl::Draw(HDC& dc, CRect paint)
{
    if (!m_bVisible || !Intersects(paint, m_rect))
        return;
    {
        ScopedLock lock(m_csAreas);
        for (size_t i = 0; i < m_areas.size(); ++i) {
            if (Intersects(m_areas[i]->m_rect, m_rect))
                m_areas[i]->Draw(dc, paint);
        }
    }
    DrawControl(dc, paint);
    DrawSubControls(dc, paint);
}

CPoint MControl::ChildPoint(MControl* child, const CPoint& saved, const CPoint& translated)
{
    return (child->m_nID == 1 || child->m_nID == 2) ? saved : translated;
}

int MControl::OnMouseMove(UINT flags, CPoint pt)
{
    if (!m_bVisible || !m_bResponse)
        return 0;
    CPoint saved = pt;
    OnMousePointChange(pt);
    if (m_pActiveChild != nullptr) {
        CPoint cp = ChildPoint(m_pActiveChild, saved, pt);
        if ((m_pActiveChild->PtInRect(cp) && m_pActiveChild->OnCheckMouseResponse(flags, cp)) || m_bPressCapture)
            return m_pActiveChild->OnMouseMove(flags, cp) ? 1 : 0;
    }
    MControl* old = m_pActiveChild;
    m_pActiveChild = nullptr;

    if (!m_tooltip.IsEmpty() && m_rect.PtInRect(pt) && OnCheckMouseResponse(flags, pt) && m_pManager != nullptr
        && m_pManager->GetTooltipCtrlID() != static_cast<int>(m_nID)) {
        m_pManager->SetTooltip(m_tooltip, m_rect);
        m_pManager->SetTooltipCtrlID(static_cast<int>(m_nID));
    }

    OnControlSetCursor(flags, pt);
    int result = OnControlMouseMove(flags, pt);
    if (m_bHoverTracking)
        m_bMouseOutside = m_rect.PtInRect(pt) ? 0 : 1;
    if (m_bPressCapture)
        return result;

    {
        ScopedLock lock(m_csControls);
        for (size_t i = 0; i < m_controls.size(); ++i) {
            MControl* child = m_controls[i];
            CPoint cp = ChildPoint(child, saved, pt);
            if (child->OnMouseMove(flags, cp))
                result = 1;
            if (child->PtInRect(cp))
                m_pActiveChild = child;
        }
    }
    return (m_pActiveChild != nullptr || old != nullptr) ? 1 : result;
}

// The entry points of one mouse button and the control's own handlers, by
// phase: press, release, double click.
struct MouseButton {
    int (MControl::*route[3])(UINT, CPoint);
    int (MControl::*own[3])(UINT, CPoint);
    bool notifiesDoubleClick;
};

namespace {

enum ButtonPhase { kPress, kRelease, kDoubleClick };

const MouseButton kLeftButton = {
    {&MControl::OnLButtonDown, &MControl::OnLButtonUp, &MControl::OnLButtonDblClk},
    {&MControl::OnControlLButtonDown, &MControl::OnControlLButtonUp, &MControl::OnControlLButtonDblClk},
    true};
const MouseButton kRightButton = {
    {&MControl::OnRButtonDown, &MControl::OnRButtonUp, &MControl::OnRButtonDblClk},
    {&MControl::OnControlRButtonDown, &MControl::OnControlRButtonUp, &MControl::OnControlRButtonDblClk},
    false};

} // namespace

void MControl::TakeFocus()
{
    if (m_pManager == nullptr)
        return;
    MControl* focus = m_pManager->GetFocusControl();
    if (focus != this) {
        if (focus != nullptr)
            focus->SetControlFocus(0);
        SetControlFocus(1);
        m_pManager->StoreFocusControl(this);
    }
}

int MControl::RouteButton(const MouseButton& button, int phase, UINT flags, CPoint pt)
{
    if (!m_bVisible || !m_bResponse)
        return 0;
    CPoint saved = pt;
    OnMousePointChange(pt);
    if (phase == kPress) {
        // The last child under the point that takes input gets the press; with
        // none, the previous active child stays.
        m_bPressCapture = m_rect.PtInRect(pt);
        {
            ScopedLock lock(m_csControls);
            for (size_t i = 0; i < m_controls.size(); ++i) {
                MControl* child = m_controls[i];
                if (child->PtInRect(ChildPoint(child, saved, pt)) && child->m_bVisible && child->m_bEnabled
                    && child->m_bResponse)
                    m_pActiveChild = child;
            }
        }
        if (m_pActiveChild != nullptr)
            return (m_pActiveChild->*button.route[kPress])(flags, ChildPoint(m_pActiveChild, saved, pt));
        TakeFocus();
        return (this->*button.own[kPress])(flags, pt);
    }
    m_bPressCapture = 0;
    MControl* child = m_pActiveChild;
    if (phase == kRelease) {
        if (child != nullptr)
            return (child->*button.route[kRelease])(flags, ChildPoint(child, saved, pt));
        return (this->*button.own[kRelease])(flags, pt);
    }
    // Without double-click handling a double click is a further press.
    if (child == nullptr) {
        if (m_bDblClk == 0)
            return (this->*button.own[kPress])(flags, pt);
        if (button.notifiesDoubleClick && m_bDblClkNotify && m_rect.PtInRect(pt) && m_pParent != nullptr)
            m_pParent->OnBaseMessage(m_nID, kNotifyDoubleClick, flags, reinterpret_cast<LPARAM>(&pt));
        return (this->*button.own[kDoubleClick])(flags, pt);
    }
    CPoint cp = ChildPoint(child, saved, pt);
    if ((child->*button.route[kDoubleClick])(flags, cp))
        return 1;
    if (child->m_bDblClk == 0)
        return (child->*button.route[kPress])(flags, cp);
    return 0;
}

int MControl::OnLButtonDown(UINT flags, CPoint pt) { return RouteButton(kLeftButton, kPress, flags, pt); }
int MControl::OnLButtonUp(UINT flags, CPoint pt) { return RouteButton(kLeftButton, kRelease, flags, pt); }
int MControl::OnLButtonDblClk(UINT flags, CPoint pt) { return RouteButton(kLeftButton, kDoubleClick, flags, pt); }
int MControl::OnRButtonDown(UINT flags, CPoint pt) { return RouteButton(kRightButton, kPress, flags, pt); }
int MControl::OnRButtonUp(UINT flags, CPoint pt) { return RouteButton(kRightButton, kRelease, flags, pt); }
int MControl::OnRButtonDblClk(UINT flags, CPoint pt) { return RouteButton(kRightButton, kDoubleClick, flags, pt); }

void MControl::ReportKey(UINT key, UINT flags)
{
    if (m_bKeyNotify && m_pParent != nullptr)
        m_pParent->OnBaseMessage(m_nID, kNotifyKey, key, static_cast<LPARAM>(flags));
}

int MControl::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    if (!m_bVisible || !m_bResponse)
        return 0;
    // Follow the chain of focused children down to the deepest one.
    MControl* target = this;
    for (;;) {
        MControl* focused = nullptr;
        {
            ScopedLock lock(target->m_csControls);
            for (size_t i = 0; i < target->m_controls.size(); ++i) {
                if (target->m_controls[i]->m_bFocused) {
                    focused = target->m_controls[i];
                    break;
                }
            }
        }
        if (focused == nullptr)
            break;
        if (!focused->m_bVisible || !focused->m_bResponse)
            return 0;
        target = focused;
    }
    if (target->m_pActiveChild != nullptr && target->m_pActiveChild->OnKeyDown(key, repeat, flags))
        return 1;
    if (target->OnControlKeyDown(key, repeat, flags)) {
        target->ReportKey(key, flags);
        return 1;
    }
    {
        ScopedLock lock(target->m_csControls);
        for (size_t i = 0; i < target->m_controls.size(); ++i) {
            if (target->m_controls[i]->OnKeyDown(key, repeat, flags)) {
                target->ReportKey(key, flags);
                return 1;
            }
        }
    }
    target->ReportKey(key, flags);
    return 0;
}

int MControl::OnKeyUp(UINT, UINT, UINT) { return 0; }

int MControl::OnTimer()
{
    int result = OnControlTimer() ? 1 : 0;
    ScopedLock lock(m_csControls);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        MControl* child = m_controls[i];
        if (child->m_bRunTimer && child->m_bVisible && child->OnTimer())
            result = 1;
    }
    return result;
}

int MControl::OnFocus(int focus) { return SetControlFocus(focus); }

BOOL MControl::IsFocusControl() { return m_pManager != nullptr && m_pManager->GetFocusControl() == this; }

MControl* MControl::GetFocusControl(MControl*) { return nullptr; }
MControl* MControl::GetNextFocusableControl(MControl*) { return nullptr; }
MControl* MControl::GetPrevFocusableControl(MControl*) { return nullptr; }

MControl* MControl::GetControl(UINT id)
{
    for (std::vector<MControl*>* list : {&m_controls, &m_areas}) {
        for (size_t i = 0; i < list->size(); ++i) {
            MControl* child = (*list)[i];
            if (child->m_nID == id)
                return child;
            if (MControl* found = child->GetControl(id))
                return found;
        }
    }
    return nullptr;
}

int MControl::RemoveControl(MControl* control)
{
    if (m_pManager != nullptr && m_pManager->GetFocusControl() == control && control != nullptr) {
        control->SetControlFocus(0);
        m_pManager->StoreFocusControl(nullptr);
    }
    ScopedLock lock(m_csControls);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (m_controls[i] == control) {
            if (m_pActiveChild == control)
                m_pActiveChild = nullptr;
            m_controls.erase(m_controls.begin() + static_cast<std::ptrdiff_t>(i));
            delete control;
            break;
        }
    }
    return 0;
}

void MControl::RemoveAllControl()
{
    m_pActiveChild = nullptr;
    for (auto [list, cs] : {std::pair{&m_areas, &m_csAreas}, std::pair{&m_controls, &m_csControls}}) {
        ScopedLock lock(*cs);
        std::vector<MControl*> children;
        children.swap(*list);
        for (MControl* child : children)
            delete child;
    }
}

void MControl::UpdateControl(int rebuild, int force)
{
    if ((m_bVisible || force) && m_pParent != nullptr)
        m_pParent->OnControlUpdate(m_rect, rebuild, this);
}

void MControl::UpdateControl(CRect rect, int force, int rebuild)
{
    if ((m_bVisible || force) && m_pParent != nullptr)
        m_pParent->OnControlUpdate(rect, rebuild, this);
}

void MControl::UpdateAControl(int flag, int force)
{
    if (m_bVisible || force) {
        m_bAnimate = !flag;
        if (m_pParent != nullptr)
            m_pParent->OnControlUpdate(m_rect, 0, this);
    }
}

LRESULT MControl::SendMessageW(UINT msg, WPARAM wparam, LPARAM lparam)
{
    return m_pParent ? m_pParent->OnBaseMessage(m_nID, msg, static_cast<UINT>(wparam), lparam) : 0;
}

void MControl::AddMTimer()
{
    if (m_pManager != nullptr)
        m_pManager->AddMTimer(this);
}

void MControl::UpdateMemDC(HDC& dc, int cx, int cy)
{
    m_bUpdate = 1;
    if (m_hMemDC != nullptr && cx == m_nMemCx && cy == m_nMemCy)
        return;
    ReleaseCache(m_hMemDC, m_hMemBitmap, m_hOldMemBitmap);
    m_nMemCx = cx;
    m_nMemCy = cy;
    CreateCache(dc, cx, cy, m_hMemDC, m_hMemBitmap, m_hOldMemBitmap);
}

void MControl::UpdateAnimateDC(HDC& dc, int cx, int cy)
{
    m_nAniCx = cx;
    m_nAniCy = cy;
    m_bAnimate = 1;
    ReleaseCache(m_hAniDC, m_hAniBitmap, m_hOldAniBitmap);
    CreateCache(dc, cx, cy, m_hAniDC, m_hAniBitmap, m_hOldAniBitmap);
}

bool MControl::RebuildCache(HDC& dc, int copies, bool copyBackground)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (w <= 0 || h <= 0 || m_bUpdate)
        return false;
    UpdateMemDC(dc, copies * w, h);
    for (int i = 0; copyBackground && i < copies; ++i)
        ::BitBlt(m_hMemDC, i * w, 0, w, h, dc, m_rect.left, m_rect.top, SRCCOPY);
    return true;
}

void MControl::ShowCache(HDC& dc, int index)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (w > 0 && h > 0 && m_hMemDC != nullptr)
        ::BitBlt(dc, m_rect.left, m_rect.top, w, h, m_hMemDC, w * index, 0, SRCCOPY);
}

int MControl::PositionItem2Value(const FS_POSITION_ITEM& item, int start, int end)
{
    int value = static_cast<int>(item.value);
    switch (item.kind) {
    case 0:
        return item.fromEnd ? end - value : start + value;
    case 1:
        return item.fromEnd ? start + (end - start) / 2 - value : start + (end - start) / 2 + value;
    case 2: {
        int position = start + static_cast<int>((end - start) * item.value / 100.0f);
        return position > end ? end : position;
    }
    default:
        return 0;
    }
}
