#include "Manager.h"

#include <shlwapi.h>

#include <map>

HINSTANCE Manager::m_hInstance = nullptr;
float Manager::m_scale_value = 1.0f;
CString Manager::m_fontname(L"Arial");
int Manager::m_fontwidth = 14;
Gdiplus::Color Manager::m_select_color(0xFFBD30FF);
Gdiplus::GdiplusStartupInput Manager::m_gdiplusStartupInput;
ULONG_PTR Manager::m_gdiplusToken = 0;

namespace {

HINSTANCE g_libraryInstance = nullptr;

// Windows known to the library; nothing reads it, it only mirrors AddWnd/DeleteWnd.
std::map<MWindow*, int>& WindowRegistry()
{
    static std::map<MWindow*, int> registry;
    return registry;
}

bool AltF4Down()
{
    return ::GetAsyncKeyState(VK_MENU) != 0 && ::GetAsyncKeyState(VK_F4) != 0;
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_libraryInstance = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

void Manager::SetInstance(HINSTANCE instance) { m_hInstance = instance; }
HINSTANCE Manager::GetInstance() { return m_hInstance; }
HINSTANCE Manager::GetLibraryInstance() { return g_libraryInstance; }
void Manager::SetLibraryInstance(HINSTANCE instance) { g_libraryInstance = instance; }

CString Manager::GetTheme() { return CString(L"theme1\\"); }

void Manager::SetFont(CString name, int size)
{
    m_fontname = name;
    m_fontwidth = size;
}

void Manager::SetFontName(CString name) { m_fontname = name; }
void Manager::SetFontWidth(int size) { m_fontwidth = size; }
CString Manager::GetFontName() { return CString(m_fontname.GetString()); }
int Manager::GetFontWidth() { return m_fontwidth; }

float Manager::GetScaleValue() { return m_scale_value; }
void Manager::SetScaleValue(float scale) { m_scale_value = scale; }

int Manager::GetScaleValue(int value)
{
    // Single precision on purpose: 7 at 1.5 gives 10, -7 gives -10.
    volatile float scaled = static_cast<float>(value) * m_scale_value;
    return static_cast<int>(scaled);
}

Gdiplus::Color Manager::GetSelectColor() { return m_select_color; }

void Manager::InitGdiplus()
{
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &m_gdiplusStartupInput, nullptr);
    ::CoInitialize(nullptr);
    ::OleInitialize(nullptr);
    WindowRegistry().clear();
}

void Manager::UnInitGdiplus()
{
    Gdiplus::GdiplusShutdown(m_gdiplusToken);
    ::CoUninitialize();
    ::OleUninitialize();
    WindowRegistry().clear();
}

void Manager::AddWnd(MWindow* window) { WindowRegistry()[window] = 0; }
void Manager::DeleteWnd(MWindow* window) { WindowRegistry().erase(window); }
size_t Manager::GetWndCount() { return WindowRegistry().size(); }

void Manager::MessageLoop()
{
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) != 0) {
        if (AltF4Down())
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

BOOL Manager::PreTranslateMessage(MSG*)
{
    return AltF4Down() ? TRUE : FALSE;
}

CString GetSkinFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ::PathRemoveFileSpecW(path);
    ::PathAddBackslashW(path);
    CString folder(path);
    folder += L"skins\\";
    folder += Manager::GetTheme();
    return folder;
}
