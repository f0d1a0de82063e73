#pragma once

#include <windows.h>

#include "UniqueResource.h"

// What a test's own window is: its class (registered on first use), procedure,
// and the usual CreateWindowExW arguments.
struct TestWindowSpec {
    const wchar_t* className;
    WNDPROC proc = DefWindowProcW;
    const wchar_t* title = L"";
    DWORD style = WS_POPUP;
    DWORD exStyle = 0;
    RECT rect{0, 0, 10, 10};
    HWND parent = nullptr;  // HWND_MESSAGE for a message-only window
    void* createParam = nullptr;
};

// A hidden window a test owns (a stand-in for the main window, a message
// target), destroyed with the object.
class TestWindow {
public:
    explicit TestWindow(const TestWindowSpec& spec)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = spec.proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = spec.className;
        RegisterClassW(&wc);  // fails harmlessly once the class exists
        const RECT& r = spec.rect;
        window_.reset(CreateWindowExW(spec.exStyle, spec.className, spec.title, spec.style, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top, spec.parent, nullptr, wc.hInstance,
                                      spec.createParam));
    }

    HWND get() const { return window_.get(); }

private:
    UniqueWindow window_;
};
