#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "CString.h"
#include "QLUIExport.h"

class MWindow;

// The library's process-wide state. Everything is static and belongs to the
// user-interface thread; instances carry nothing.
class QLUI_API Manager {
public:
    Manager() = default;
    Manager(const Manager&) {}
    Manager& operator=(const Manager&) { return *this; }

    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    // The module of QLUI.dll itself: the library's own resources live there.
    static HINSTANCE GetLibraryInstance();
    static void SetLibraryInstance(HINSTANCE instance);

    static CString GetTheme();

    static void SetFont(CString name, int size);
    static void SetFontName(CString name);
    static void SetFontWidth(int size);
    static CString GetFontName();
    static int GetFontWidth();

    static float GetScaleValue();
    static void SetScaleValue(float scale);
    static int GetScaleValue(int value);

    static Gdiplus::Color GetSelectColor();

    static void InitGdiplus();
    static void UnInitGdiplus();

    static void AddWnd(MWindow* window);
    static void DeleteWnd(MWindow* window);
    static size_t GetWndCount();

    static void MessageLoop();
    static BOOL PreTranslateMessage(MSG* msg);

    static HINSTANCE m_hInstance;
    static float m_scale_value;
    static CString m_fontname;
    static int m_fontwidth;
    static Gdiplus::Color m_select_color;
    static Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
    static ULONG_PTR m_gdiplusToken;
};

// The skin folder: the running executable's directory, "skins\\", then the theme.
QLUI_API CString GetSkinFolder();
