// Command 7: the accepted software update, from download to the installer.
#include "DeviceMainDlg.h"

#include <algorithm>

#include "CUIMessageBox.h"
#include "MainWindowMessages.h"
#include "MenuCommand.h"
#include "Paths.h"
#include "SoftwareUpdate.h"
#include "UpdateCaptions.h"

// Worker thread.
void DeviceMainDlg::UpdateSoftware()
{
    const std::wstring folder = GetStagingFolderPath();
    SoftwareUpdateActions actions;
    actions.download = [this](const std::wstring& url, const std::wstring& path, uint64_t maxBytes) {
        HttpClient::DownloadLimits limits;
        limits.maxBytes = std::min(maxBytes, HttpClient::kMaxDownloadBytes);
        return downloadClient_.DownloadFile(url, path, GetSafeHwnd(), limits) == 1;
    };
    actions.tell = [this](const std::wstring& text) {
        {
            std::lock_guard<std::mutex> lock(updateLock_);
            softwareUpdateProblem_ = text;
        }
        PostMessageW(kMsgSoftwareUpdateProblem, 0, 0);
    };
    // The installer replaces this program: end as the tray's "Exit" does, so
    // the icon goes and the cooler is left dark.
    actions.endProgram = [this] { PostMessageW(WM_COMMAND, kMenuExit, 0); };
    InstallSoftwareUpdate(MakeSoftwarePackage(softwareBaseUrl, LatestSoftwareVersion(), folder), actions);
}

void DeviceMainDlg::ShowSoftwareUpdateProblem()
{
    std::wstring text;
    {
        std::lock_guard<std::mutex> lock(updateLock_);
        text.swap(softwareUpdateProblem_);
    }
    if (!text.empty())
        ShowMessageBox(text, kSoftwareCaption, CUIMessageBox::kModeOk);
}
