#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "MDialog.h"
#include "QluiTestCommon.h"

// Writes a PNG under the skin folder ("qlui_dialog_test\\" + name) made of
// vertical bands of equal width, one per colour (ARGB), and returns the skin
// name to load it by.
std::wstring MakeSkinImage(const wchar_t* name, int width, int height, std::initializer_list<Gdiplus::ARGB> bands);

// The last frame a dialog's manager rendered, copied out of its DIB.
struct FrameCapture {
    std::vector<DWORD> pixels;
    int cx = 0;
    int cy = 0;
    int frames = 0;

    static void Observe(void* user, const BYTE* bits, int cx, int cy, const RECT& update);
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(cy - 1 - y) * cx + x]; }
    static int R(DWORD p) { return static_cast<int>((p >> 16) & 0xFF); }
    static int G(DWORD p) { return static_cast<int>((p >> 8) & 0xFF); }
    static int B(DWORD p) { return static_cast<int>(p & 0xFF); }
    // Whether pixel (x, y) is within tolerance of the RGB colour.
    bool Near(int x, int y, int r, int g, int b, int tolerance = 2) const;
};

// A dialog that records what reaches its handlers, its default procedure and
// its notifications.
class TestDialog : public MDialog {
public:
    TestDialog();
    ~TestDialog() override;

    // A popup dialog at (x, y) of cx x cy, shown without activation unless
    // show is false; frames go to capture. (Under Wine without a window
    // manager, hiding or destroying an active window waits two seconds.)
    HWND Open(int x, int y, int cx, int cy, DWORD extraStyle = 0, bool show = true);
    // Invalidates the whole client area and paints it now.
    void Repaint();
    // Sends a mouse message at a client point with the real cursor there.
    LRESULT Mouse(UINT msg, int x, int y, WPARAM keys = 0);

    void InitUI(CRect client) override;
    void UISize(CRect client) override;
    LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    LRESULT OnLButtonDown(UINT keys, CPoint pt) override;
    LRESULT OnLButtonUp(UINT keys, CPoint pt) override;
    LRESULT OnClose() override;
    LRESULT OnDestroy() override;
    LRESULT PostNcDestroy() override;
    LRESULT OnControlUpdate(CRect rect, BOOL flag, MControl* control) override;

    struct Note {
        UINT id;
        UINT code;
    };
    std::vector<Note> notes;
    std::vector<std::string> log;        // handler calls and notifications in order
    std::vector<UINT> defaultSeen;       // messages that reached the default procedure
    std::vector<CRect> uiSizes;
    std::vector<CRect> initUIs;
    int updates = 0;
    FrameCapture capture;

private:
    static LRESULT CALLBACK RecordingDefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
