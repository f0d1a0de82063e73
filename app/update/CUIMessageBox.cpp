#include "CUIMessageBox.h"

#include <memory>

#include "ControlNotify.h"
#include "MButton.h"
#include "MText.h"

namespace {

const Gdiplus::Color kTextColour(0xFF141414);
constexpr DWORD kBoxStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MINIMIZEBOX;
static_assert(kBoxStyle == 0x96020000);

}  // namespace

CUIMessageBox::CUIMessageBox(std::wstring message, std::wstring caption, int mode)
    : caption(std::move(caption)), message(std::move(message)), buttonsMode(mode)
{
}

BOOL CUIMessageBox::OnInitDialog()
{
    MDialog::OnInitDialog();
    // The box must not open behind the always-on-top main window.
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return TRUE;
}

void CUIMessageBox::InitUI(CRect client)
{
    // The skin's card, as the progress window has it; its rounded corners are
    // cut out, hence layered (ShowMessageBox creates the window so).
    SetLayeredWindow(TRUE);
    LoadBKImage(L"bk_msgbox.png");
    const int width = client.Width();
    const int height = client.Height();

    auto* title = static_cast<MText*>(
        CreateArea(L"MText", kIdTitle, CRect(20, 15, width - 20, 40), caption.c_str(), 1, 1));
    if (title != nullptr) {
        title->SetAlignment(1);
        title->SetTextColor(kTextColour);
    }
    auto* body = static_cast<MText*>(
        CreateArea(L"MText", kIdMessage, CRect(20, 50, width - 20, height - 80), message.c_str(), 1, 1));
    if (body != nullptr) {
        body->SetVAlignment(4);
        body->SetAlignment(1);
        body->EnableMultiLine(1);
        body->EnableVCenter(1);
        body->SetTextColor(kTextColour);
    }

    auto button = [this](UINT id, CRect rect, const wchar_t* text) {
        auto* b = static_cast<MButton*>(CreateControl(L"MButton", id, rect, text, 1, 1));
        if (b != nullptr) {
            b->SetImage(L"img_button.png", 4);
            b->SetTextColor(kTextColour);
        }
    };
    if (buttonsMode == kModeOk) {
        button(kIdOk, CRect(60, height - 50, width - 60, height - 20), L"OK");
    } else if (buttonsMode == kModeYesNo) {
        const int w = width / 2;
        button(kIdOk, CRect(w - 120, height - 70, w - 20, height - 40), L"YES");
        button(kIdNo, CRect(w + 20, height - 70, w + 120, height - 40), L"NO");
    }
}

LRESULT CUIMessageBox::OnMessage(UINT id, UINT code, UINT, LPARAM)
{
    if (code != kNotifyClick)
        return 0;
    if (id == kIdOk) {
        answer = QLUI_IDOK;
        DoOK();
        return 1;
    }
    if (id == kIdNo) {
        answer = QLUI_IDCANCEL;
        DoCancel();
        return 1;
    }
    return 0;
}

int ShowMessageBox(const std::wstring& message, const std::wstring& caption, int mode)
{
    auto box = std::make_unique<CUIMessageBox>(message, caption, mode);
    box->SetBackMode(BACKMODE_FRAME, 30);
    // Layered from the start: the window the system made for the box stays
    // the one the user sees (adding the style later may replace it).
    box->Create(nullptr, L"MessageBox", kBoxStyle, WS_EX_TOOLWINDOW | WS_EX_LAYERED,
                CRect(0, 0, CUIMessageBox::kWidth, CUIMessageBox::kHeight));
    box->CenterWindow();
    const int result = static_cast<int>(box->ShowModal(SW_SHOWNORMAL));
    box->DestroyWindow();
    return box->Answer() != 0 ? box->Answer() : result;
}
