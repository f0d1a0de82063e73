#include "UpdateProcessDlg.h"

#include <cstdio>

#include "ControlNotify.h"
#include "LanguageString.h"
#include "MProgress.h"
#include "MText.h"

namespace {

const Gdiplus::Color kTextColour(0xFF191919);
constexpr DWORD kWindowStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MINIMIZEBOX;

}  // namespace

BOOL UpdateProcessDlg::OnInitDialog()
{
    MDialog::OnInitDialog();
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    return TRUE;
}

void UpdateProcessDlg::InitUI(CRect client)
{
    SetLayeredWindow(TRUE);
    SetBackMode(BACKMODE_FRAME, 16);
    LoadBKImage(L"bk_msgbox.png");
    const int width = client.Width();
    textLabel = static_cast<MText*>(CreateArea(L"MText", kIdText, CRect(10, 30, width - 20, 50), L"", 1, 1));
    if (textLabel != nullptr)
        textLabel->SetTextColor(kTextColour);
    progressBar = static_cast<MProgress*>(
        CreateControl(L"MProgress", kIdProgress, CRect(10, 60, width - 20, 80), nullptr, 1, 1));
    if (progressBar != nullptr)
        progressBar->SetMaxProgress(100);
}

LRESULT UpdateProcessDlg::OnMessage(UINT, UINT code, UINT, LPARAM)
{
    return code == kNotifyClick ? 1 : 0;
}

LRESULT UpdateProcessDlg::OnDestroy()
{
    textLabel = nullptr;
    progressBar = nullptr;
    return MDialog::OnDestroy();
}

void UpdateProcessDlg::Open(HWND owner)
{
    Create(owner, L"UpdateProcessDlg", kWindowStyle, WS_EX_TOOLWINDOW, CRect(0, 0, kWidth, kHeight));
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    SetWindowPos(nullptr, left, top, kWidth, kHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
}

void UpdateProcessDlg::UpdateProgress(int percent)
{
    if (progressBar != nullptr)
        progressBar->SetProgress(percent);
    if (textLabel != nullptr) {
        wchar_t text[320];
        swprintf(text, sizeof text / sizeof text[0], L"Upgrading... %ls: %d%%", GetLanguageString(L"LAN").c_str(),
                 percent);
        textLabel->SetTitle(text);
    }
}
