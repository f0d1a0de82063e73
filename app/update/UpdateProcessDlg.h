#pragma once
#include <windows.h>

#include "MDialog.h"

class MText;
class MProgress;

// The modal window shown while the cooler's firmware is rewritten: a line of
// text and a progress bar. The worker closes it with DoOK when the upgrade ends.
class UpdateProcessDlg : public MDialog {
public:
    static constexpr UINT kIdText = 31;
    static constexpr UINT kIdProgress = 32;
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 120;

    BOOL OnInitDialog() override;
    void InitUI(CRect client) override;
    void UISize(CRect) override {}
    LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    // The window's manager frees the controls with the window.
    LRESULT OnDestroy() override;

    // Creates the window owned by owner and centres it on the screen; the
    // caller runs its modal loop. UI thread.
    void Open(HWND owner);
    // "Upgrading... <language text>: <percent>%" and the bar. UI thread.
    void UpdateProgress(int percent);

private:
    MText* textLabel = nullptr;
    MProgress* progressBar = nullptr;
};
