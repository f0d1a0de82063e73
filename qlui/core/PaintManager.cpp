#include "PaintManager.h"

#include <commctrl.h>

#include <algorithm>

#include "ControlFactory.h"
#include "MControl.h"
#include "MWindow.h"
#include "ScopedLock.h"
#include "UniqueResource.h"
#include "WindowDc.h"

namespace {

bool CanTakeFocus(MControl* control)
{
    return control->IsVisible() && control->IsEnabled() && control->IsTabStop();
}

// The first control that can take the focus after the focus control, scanning
// forward or backward; else the first one of a second scan, taken only when the
// focus was passed or there is none. While the hover is null, the second scan
// makes each control it looks at the hover.
MControl* FocusableInScan(const std::vector<MControl*>& list, bool forward, MControl* focus, MControl*& hover)
{
    // The size is read again on every step: a list that shrinks ends the scan.
    auto at = [&](size_t step) { return list[forward ? step : list.size() - 1 - step]; };
    bool focusFound = false;
    for (size_t step = 0; step < list.size(); ++step) {
        MControl* control = at(step);
        if (focusFound && CanTakeFocus(control))
            return control;
        if (control == focus)
            focusFound = true;
    }
    for (size_t step = 0; step < list.size(); ++step) {
        MControl* control = at(step);
        if (hover == nullptr)
            hover = control;
        if (CanTakeFocus(control))
            return (focusFound || focus == nullptr) ? control : nullptr;
    }
    return nullptr;
}

// Empties a list under its lock and deletes its controls after, so that their
// destructors may call back into the manager.
void DeleteControls(std::vector<MControl*>& list, CRITICAL_SECTION& lock)
{
    std::vector<MControl*> doomed;
    {
        ScopedLock hold(lock);
        doomed.swap(list);
    }
    for (MControl* control : doomed)
        delete control;
}

} // namespace

PaintManager::PaintManager()
    : m_bInit(FALSE), m_hWndPaint(nullptr), m_hDcPaint(nullptr), m_pDialog(nullptr), m_crFill(0xC8C8C8),
      m_crBorder(0x646464), m_nMaxCx(0), m_nMaxCy(0), m_nMinCx(0), m_nMinCy(0), m_pBkImage(nullptr), m_nBkWidth(0),
      m_nBkHeight(0), m_backMode(BACKMODE_STRETCH), m_nBackParam(4), m_bLayered(FALSE), m_bActive(FALSE),
      m_bMouseTracking(FALSE), m_bLButtonDown(FALSE), m_bCaptured(FALSE), m_bWndDrag(TRUE), m_pHover(nullptr),
      m_pFocus(nullptr), m_nLastMouseX(0), m_nLastMouseY(0), m_bDragPending(FALSE), m_hDragBitmap(nullptr),
      m_pShadow(nullptr), m_bShadowShown(FALSE), m_msgLevel(MSGLEVEL_INFO), m_nMsgAlpha(0), m_nMsgProgress(0),
      m_nMsgTarget(0), m_nMTimerId(0), m_nLastTimerId(4096), m_nTooltipCtrlId(0), m_hTooltip(nullptr),
      m_pAirBladder(nullptr), m_nAirBladderOwner(0), m_bCaretPhase(FALSE), m_bCaretShown(FALSE),
      m_pCaretOwner(nullptr), m_crDisabled(0x808080), m_nScrollVID(0), m_nScrollHID(0), m_caretColor(0xFE000000),
      m_nPaintPause(15), m_pPaintObserver(nullptr), m_pPaintObserverUser(nullptr), m_pShadowDestroy(nullptr)
{
    for (CRITICAL_SECTION* cs : {&m_csTimers, &m_csAreas, &m_csControls, &m_csAnim, &m_csImgFile, &m_csImgRes,
                                 &m_csFonts})
        ::InitializeCriticalSection(cs);
}

PaintManager::~PaintManager()
{
    if (m_hTooltip != nullptr && ::IsWindow(m_hTooltip))
        ::DestroyWindow(m_hTooltip);
    m_hTooltip = nullptr;
    DestroyAirBladder();
    if (m_pShadow != nullptr && m_pShadowDestroy != nullptr)
        m_pShadowDestroy(m_pShadow);
    m_pShadow = nullptr;
    CloseMember<UniqueGdiObject>(m_hDragBitmap);
    DestroyData();
    // Also when the window is never bound: controls created before Init.
    ClearAllControls();
    // The locks live as long as the manager: controls and the program may still
    // call in after the window is gone.
    for (CRITICAL_SECTION* cs : {&m_csTimers, &m_csAreas, &m_csControls, &m_csAnim, &m_csImgFile, &m_csImgRes,
                                 &m_csFonts})
        ::DeleteCriticalSection(cs);
}

void PaintManager::Init(HWND hwnd, MWindow* dialog)
{
    if (!::IsWindow(hwnd))
        return;
    if (hwnd != m_hWndPaint) {
        m_hWndPaint = hwnd;
        m_hDcPaint = ::GetDC(hwnd);
    }
    m_pDialog = dialog;
    InitDragDrop();
    SetTargetWnd(hwnd);
    m_bInit = TRUE;
    m_nScrollVID = 102;
    m_nScrollHID = 101;
    AddGDITempFont(106);
}

void PaintManager::OnDestroyMessage(HWND hwnd)
{
    if (hwnd == m_hWndPaint)
        DestroyData();
}

void PaintManager::DestroyData()
{
    if (!m_bInit)
        return;
    delete m_pBkImage;
    m_pBkImage = nullptr;
    WindowDc(m_hWndPaint, std::exchange(m_hDcPaint, nullptr));  // given back here, not at the end
    RKTimer::KillTimer();
    ClearTimers();
    {
        ScopedLock lock(m_csAnim);
        m_animControls.clear();
    }
    ClearAreaControls();
    ClearControls();
    ClearImgResInfo();
    ClearTempFont();
    if (m_hWndPaint != nullptr && ::IsWindow(m_hWndPaint))
        ::RevokeDragDrop(m_hWndPaint);
    m_bInit = FALSE;
}

MControl* PaintManager::CreateControl(UINT list, MObject* parent, const wchar_t* className, UINT id, CRect rect,
                                      const wchar_t* text, int visible, int enabled)
{
    if (className == nullptr)
        return nullptr;
    CString name(className);
    MControl* control = CreateControlByName(name, parent, id, rect, text, visible, enabled);
    if (control == nullptr)
        return nullptr;
    return AddControl(list, control);
}

MControl* PaintManager::CreateControl(MObject* parent, const wchar_t* className, UINT id, CRect rect,
                                      const wchar_t* text, int visible, int enabled)
{
    return CreateControl(1, parent, className, id, rect, text, visible, enabled);
}

MControl* PaintManager::CreateArea(MObject* parent, const wchar_t* className, UINT id, CRect rect,
                                   const wchar_t* text, int visible, int enabled)
{
    return CreateControl(0, parent, className, id, rect, text, visible, enabled);
}

MControl* PaintManager::AddControl(UINT list, MControl* control)
{
    if (control == nullptr)
        return nullptr;
    control->SetManager(this);
    if (list == 0) {
        ScopedLock lock(m_csAreas);
        m_areas.push_back(control);
    } else if (list == 1) {
        ScopedLock lock(m_csControls);
        m_controls.push_back(control);
    }
    return control;
}

MControl* PaintManager::GetControl(UINT id)
{
    for (auto [list, cs] : {std::pair{&m_controls, &m_csControls}, std::pair{&m_areas, &m_csAreas}}) {
        ScopedLock lock(*cs);
        for (size_t i = 0; i < list->size(); ++i) {
            MControl* control = (*list)[i];
            if (control->GetControlID() == id)
                return control;
            if (MControl* found = control->GetControl(id))
                return found;
        }
    }
    return nullptr;
}

void PaintManager::RemoveControl(MControl* control)
{
    if (control == nullptr)
        return;
    {
        ScopedLock lock(m_csControls);
        auto it = std::find(m_controls.begin(), m_controls.end(), control);
        // Only a control of the control list is deleted: deleting anything
        // else would leave a dangling entry behind.
        if (it == m_controls.end())
            return;
        m_controls.erase(it);
    }
    delete control;
}

void PaintManager::ForgetControl(MControl* control)
{
    KillTimer(control);
    while (DeleteFSTimer(control)) {
    }
    if (m_pHover == control)
        m_pHover = nullptr;
    if (m_pFocus == control)
        m_pFocus = nullptr;
    if (m_pCaretOwner == control)
        m_pCaretOwner = nullptr;
}

void PaintManager::ClearAreaControls() { DeleteControls(m_areas, m_csAreas); }
void PaintManager::ClearControls() { DeleteControls(m_controls, m_csControls); }

void PaintManager::ClearAllControls()
{
    ClearAreaControls();
    ClearControls();
}

void PaintManager::SetFocusControl(MControl* control)
{
    if (control == m_pFocus)
        return;
    if (m_pFocus != nullptr)
        m_pFocus->SetControlFocus(FALSE);
    if (control != nullptr)
        control->SetControlFocus(TRUE);
    m_pFocus = control;
}

MControl* PaintManager::GetNextFocusableControl()
{
    ScopedLock lock(m_csControls);
    return FocusableInScan(m_controls, true, m_pFocus, m_pHover);
}

MControl* PaintManager::GetPrevFocusableControl()
{
    ScopedLock lock(m_csControls);
    return FocusableInScan(m_controls, false, m_pFocus, m_pHover);
}

void PaintManager::GetClientRect(CRect& rect)
{
    if (m_hWndPaint != nullptr && ::IsWindow(m_hWndPaint))
        ::GetClientRect(m_hWndPaint, &rect);
    else
        rect.SetRectEmpty();
}

void PaintManager::GetWindowRect(CRect& rect)
{
    if (m_hWndPaint != nullptr && ::IsWindow(m_hWndPaint))
        ::GetWindowRect(m_hWndPaint, &rect);
    else
        rect.SetRectEmpty();
}

void PaintManager::GetClientSize(int& cx, int& cy)
{
    CRect rect;
    GetClientRect(rect);
    cx = rect.Width();
    cy = rect.Height();
}

void PaintManager::SetCapture()
{
    if (m_hWndPaint != nullptr && ::IsWindow(m_hWndPaint))
        ::SetCapture(m_hWndPaint);
}

void PaintManager::ReleaseCapture()
{
    if (m_hWndPaint != nullptr && ::IsWindow(m_hWndPaint))
        ::ReleaseCapture();
}

LRESULT PaintManager::SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_hWndPaint == nullptr || !::IsWindow(m_hWndPaint))
        return 0;
    return ::SendMessageW(m_hWndPaint, msg, wParam, lParam);
}
