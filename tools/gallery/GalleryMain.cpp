// gallery.exe [--exit-after MS]: shows the gallery window until it is closed
// (or for MS milliseconds).
#include <windows.h>

#include <cwchar>
#include <cstdlib>

#include "GalleryDlg.h"
#include "Manager.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    UINT exitAfter = 0;
    for (int i = 1; i + 1 < __argc; ++i) {
        if (std::wcscmp(__wargv[i], L"--exit-after") == 0)
            exitAfter = static_cast<UINT>(std::wcstoul(__wargv[i + 1], nullptr, 10));
    }
    Manager::SetInstance(instance);
    Manager::InitGdiplus();
    int result = 0;
    {
        GalleryDlg dialog(exitAfter);
        RECT work;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        int x = work.left + 20;
        int y = work.top + 20;
        if (dialog.Create(nullptr, L"QLUI gallery", WS_POPUP | WS_CLIPCHILDREN, 0,
                          CRect(x, y, x + GalleryDlg::kWidth, y + GalleryDlg::kHeight)) != nullptr)
            result = static_cast<int>(dialog.ShowModal(SW_SHOW));
    }
    Manager::UnInitGdiplus();
    return result == 1 || result == 2 ? 0 : result;
}
