#pragma once
#include <windows.h>

#include "MButton.h"
#include "QLUIExport.h"

#include "PaintManager.h"

// An image-only button: its four-frame strip is stretched over the control and
// an optional icon is centred on it. The title is not drawn; it is the text of
// the hover bubble shown at the right (mode 1) or left (mode 2) edge.
class QLUI_API CImageButton : public MButton {
public:
    CImageButton(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled);

    void DrawControl(HDC& dc, CRect paint) override;

    void SetAlrBladderMode(AIRBLADDER_MODE mode) { m_nAirBladderMode = mode; }
    AIRBLADDER_MODE GetAlrBladderMode() const { return m_nAirBladderMode; }

protected:
    void OnStateChanged() override;
    // Shows the bubble while hovered, hides it otherwise.
    void SetAirBladderInfo();

    AIRBLADDER_MODE m_nAirBladderMode;
};
