#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "CRect.h"

class PaintManager;

// The drop shadow of a dialog: a click-through layered window kept right
// beneath the dialog, drawn as a soft edge of the shadow colour (or as a
// nine-slice shadow image) and moved along with the dialog.
class MShadow {
public:
    explicit MShadow(PaintManager* manager);
    ~MShadow();
    static void Destroy(MShadow* shadow) { delete shadow; }

    BOOL Create(HWND dialog);
    void Show(BOOL show);
    HWND GetWindow() const { return m_hWnd; }
    BOOL IsShown() const { return m_bShown; }

    void SetSize(int size);
    void SetSharpness(int sharpness);
    void SetDarkness(int darkness);
    void SetPosition(int x, int y);
    void SetColor(COLORREF colour);
    BOOL SetImage(const wchar_t* file, CRect edges);
    BOOL SetImage(UINT resourceId, CRect edges);

    int GetSize() const { return m_nSize; }
    int GetSharpness() const { return m_nSharpness; }
    int GetDarkness() const { return m_nDarkness; }
    POINT GetPosition() const { return m_ptOffset; }
    COLORREF GetColor() const { return m_crColor; }
    CRect GetImageEdges() const { return m_rcEdges; }

    // Follows the dialog: moves, resizes, shows and hides with it.
    void OnOwnerMessage(UINT msg, WPARAM wParam);
    // Alpha (0..255) of the soft edge d pixels outside the shadow's core.
    static int EdgeAlpha(int darkness, int sharpness, int d)
    {
        if (d <= 0)
            return darkness;
        if (d >= sharpness)
            return 0;
        return darkness * (sharpness - d) / sharpness;
    }

private:
    void Update();
    void SetImage(Gdiplus::Image* image, CRect edges);

    PaintManager* m_pManager;
    HWND m_hWnd;
    HWND m_hDialog;
    BOOL m_bShown;
    int m_nSize;
    int m_nSharpness;
    int m_nDarkness;
    POINT m_ptOffset;
    COLORREF m_crColor;
    Gdiplus::Image* m_pImage;
    CRect m_rcEdges;
};
