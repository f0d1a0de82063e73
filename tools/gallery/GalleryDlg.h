#pragma once
#include <windows.h>

#include "MDialog.h"

// The gallery window: every basic control in every state, laid out in rows.
class GalleryDlg : public MDialog {
public:
    // exitAfterMs > 0 closes the window by itself after that many ms.
    explicit GalleryDlg(UINT exitAfterMs);

    void InitUI(CRect client) override;
    LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    void OnTimer(UINT id) override;

    static constexpr int kWidth = 780;
    static constexpr int kHeight = 560;

private:
    // A visible, enabled control of class T made by class name.
    template <class T>
    T* Make(const wchar_t* name, UINT id, CRect rect, const wchar_t* text = nullptr)
    {
        return static_cast<T*>(CreateControl(name, id, rect, text, 1, 1));
    }
    void AddLabel(int x, int y, int cx, const wchar_t* text, int size = 13);
    void AddButtons(int y);
    void AddImageButtons(int y);
    void AddPictures(int y);
    void AddProgressBars(int y);
    void AddAreasAndTexts(int y);

    UINT m_nExitAfter;
    UINT m_nClicks;
};
