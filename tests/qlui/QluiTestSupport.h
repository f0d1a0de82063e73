#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "MControl.h"
#include "MObject.h"
#include "MWindow.h"
#include "PaintManager.h"
#include "QluiTestCommon.h"

// A window with its own control manager: the smallest dialog.
class TestWindow : public MWindow {
public:
    PaintManager pm;
    std::vector<UINT> defaultSeen;   // messages that reached the default procedure
    std::vector<UINT> ownSeen;       // every message OnWindowMessage saw
    int ncLButtonDowns = 0;
    int initCalls = 0;
    int destroyCalls = 0;
    HWND hwndAtDestroy = nullptr;
    HWND handleSeenAtInit = nullptr;
    bool initAfterCreate = false;
    std::function<void()> onApp;     // run when WM_APP arrives
    // Sees each message first; returning true answers it with result.
    std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)> hook;

    HWND CreatePopup(int x, int y, int cx, int cy, HWND owner = nullptr, DWORD exStyle = 0);
    BOOL OnInitDialog() override;
    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnDestroyMessage(HWND hwnd) override;
    BOOL PreTranslateMessage(MSG* msg) override;
};

// Receives control notifications and passes repaint requests to the manager.
class TestParent : public MObject {
public:
    PaintManager* pm = nullptr;
    struct Note {
        UINT id;
        UINT code;
        UINT wParam;
        LPARAM lParam;
    };
    std::vector<Note> notes;
    std::vector<CRect> updates;

    const wchar_t* GetClassNameW() override { return L"TestParent"; }
    LRESULT OnBaseMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    LRESULT OnControlUpdate(CRect rect, BOOL flag, MControl* control) override;
};

// A control that records what reaches it and draws a solid colour. It behaves
// like a push button: press inside (code 1), release inside after a press (code 2).
class TestControl : public MControl {
public:
    TestControl(MObject* parent, UINT id, CRect rect, int visible = 1, int enabled = 1)
        : MControl(parent, id, rect, visible, enabled, 1) {}

    COLORREF colour = RGB(200, 40, 40);
    DWORD argb = 0;              // non-zero: draw with GDI+ in this ARGB colour instead
    UINT claimMessage = 0;       // OnWindowMessage returns 1 for this message
    int scrollResult = 1;
    bool pressed = false;

    int moves = 0, downs = 0, ups = 0, dblClks = 0, rdowns = 0, rups = 0, drawn = 0;
    std::atomic<int> timers{0};
    std::atomic<DWORD> timerThread{0};   // the thread of the last OnControlTimer
    std::vector<std::pair<int, UINT>> scrolls;   // (delta, flags)
    std::vector<std::pair<UINT, UINT>> keys;     // (key, flags)
    std::vector<int> focusCalls;
    std::vector<CPoint> points;
    std::vector<std::wstring>* drawLog = nullptr;
    std::wstring name;

    void AddChild(MControl* child) { m_controls.push_back(child); }
    void AddArea(MControl* child) { m_areas.push_back(child); }
    void SetFocusedFlag(int focused) { m_bFocused = focused; }
    int Position(const FS_POSITION_ITEM& item, int start, int end) { return PositionItem2Value(item, start, end); }

    void DrawControl(HDC& dc, CRect paint) override;
    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    int SetControlFocus(int focus) override;
    int OnControlMouseMove(UINT flags, CPoint pt) override;
    int OnControlLButtonDown(UINT flags, CPoint pt) override;
    int OnControlLButtonUp(UINT flags, CPoint pt) override;
    int OnControlLButtonDblClk(UINT flags, CPoint pt) override;
    int OnControlRButtonDown(UINT flags, CPoint pt) override;
    int OnControlRButtonUp(UINT flags, CPoint pt) override;
    int OnControlScroll(int delta, UINT flags, CPoint pt) override;
    int OnControlKeyDown(UINT key, UINT repeat, UINT flags) override;
    int OnControlTimer() override;
};

// A container that shifts points by (dx, dy) before handing them to children.
class ShiftingContainer : public TestControl {
public:
    using TestControl::TestControl;
    int dx = 0, dy = 0;
    int OnMousePointChange(CPoint& pt) override
    {
        pt.Offset(-dx, -dy);
        return 1;
    }
};

// One test's popup window with its control manager, and a parent that passes
// its controls' repaint requests on to the manager.
class WindowTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;
    TestControl* Add(UINT id, CRect rect, UINT list = 1);

    TestWindow window;
    TestParent parent;
    HWND hwnd = nullptr;
};
