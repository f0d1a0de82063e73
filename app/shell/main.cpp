#include <windows.h>

#include <memory>

#include "AppEntry.h"
#include "ApartmentScope.h"
#include "DeviceMainDlg.h"
#include "GdiplusScope.h"
#include "MainLayout.h"
#include "Manager.h"
#include "Paths.h"

namespace {

void ShowMainDialog(DeviceMainDlg& dialog, bool show)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT rect = MainWindowRect(work);
    dialog.Create(nullptr, L"GLIMRA", MainLayout::kWindowStyle, WS_EX_TOOLWINDOW, CRect(rect));
    dialog.ShowModal(show ? SW_SHOWNORMAL : SW_HIDE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    // Elevated: libraries loaded at run time come from the system folder, or by
    // full path from the program folder, never from the current directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");

    bool alreadyRunning = false;
    UniqueHandle instanceMutex = CreateInstanceMutex(alreadyRunning);
    if (alreadyRunning) {
        ActivateRunningInstance();
        return 0;
    }

    UniqueHandle installerMarker = CreateInstallerMarker();

    ApplySmallScreenDpiRule();
    RaisePriority();
    const std::wstring sensorServer = GetModulePath() + kSensorServerProcess;
    TerminateProcessAt(sensorServer);

    const bool show = !HasHideSwitch(commandLine);
    {
        const GdiplusScope gdiplus;
        Manager::SetInstance(instance);
        const ComScope com;
        const OleScope ole;
        // The dialog (and every GDI+ object it owns) is gone before GDI+ shuts down.
        auto dialog = std::make_unique<DeviceMainDlg>();
        ShowMainDialog(*dialog, show);
        TerminateProcessAt(sensorServer);
    }
    // Owned for the life of the process.
    instanceMutex.release();
    installerMarker.release();
    return 1;
}
