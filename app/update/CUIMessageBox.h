#pragma once
#include <windows.h>

#include <string>

#include "MDialog.h"

// The program's own message box: a title line, a wrapped message and either
// one "OK" button (mode 0), "YES" and "NO" (mode 4) or no button at all.
class CUIMessageBox : public MDialog {
public:
    static constexpr int kModeOk = 0;
    static constexpr int kModeYesNo = 4;
    static constexpr UINT kIdTitle = 31;
    static constexpr UINT kIdMessage = 32;
    static constexpr UINT kIdOk = 33;  // also "YES"
    static constexpr UINT kIdNo = 34;
    static constexpr int kWidth = 450;
    static constexpr int kHeight = 280;

    CUIMessageBox(std::wstring message, std::wstring caption, int mode);

    BOOL OnInitDialog() override;
    void InitUI(CRect client) override;
    void UISize(CRect) override {}
    LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    LRESULT OnDestroy() override { return 0; }

    // The button that closed the box: 1 "OK"/"YES", 2 "NO", 0 none yet. Kept
    // by the box itself, so a box closed while another modal loop runs over
    // it still answers right.
    int Answer() const { return answer; }

private:
    std::wstring caption;
    std::wstring message;
    int buttonsMode;
    int answer = 0;
};

// Shows a CUIMessageBox modally (UI thread) and returns its answer: 1 for
// "OK" or "YES", 2 for "NO"; closed otherwise, the modal result.
int ShowMessageBox(const std::wstring& message, const std::wstring& caption, int mode);
