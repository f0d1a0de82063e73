#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <gdiplus.h>

#include <memory>

#include "AppEntry.h"
#include "DeviceMainDlg.h"
#include "Manager.h"

namespace {

void ShowMainDialog(DeviceMainDlg& dialog, bool show)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT rect = MainWindowRect(work);
    dialog.Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(rect));
    dialog.ShowModal(show ? SW_SHOWNORMAL : SW_HIDE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    bool alreadyRunning = false;
    UniqueHandle instanceMutex = CreateInstanceMutex(alreadyRunning);
    if (alreadyRunning) {
        ActivateRunningInstance();
        return 0;
    }

    ApplySmallScreenDpiRule();
    EnableDebugPrivilege();
    TerminateProcessByName(kSensorServerProcess);

    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    Manager::SetInstance(instance);
    CoInitialize(nullptr);
    OleInitialize(nullptr);

    const bool show = !HasHideSwitch(commandLine);
    {
        // The dialog (and every GDI+ object it owns) is gone before GDI+ shuts down.
        auto dialog = std::make_unique<DeviceMainDlg>();
        ShowMainDialog(*dialog, show);
        TerminateProcessByName(kSensorServerProcess);
        dialog.reset();
    }
    CoUninitialize();
    OleUninitialize();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    instanceMutex.release();  // owned for the life of the process
    return 1;
}
