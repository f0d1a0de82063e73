#include "MButton.h"

#include "ControlNotify.h"
#include "MRender.h"
#include "Manager.h"

namespace {

const Gdiplus::ARGB kDisabledText = 0xFF808080;

} // namespace

MButton::MButton(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled)
    : MControlFont(parent, id, rect, title, visible, enabled, 1), m_nState(enabled ? STATE_NORMAL : STATE_DISABLED),
      m_nFrameSize(8), m_pIcon(nullptr), m_nIconWidth(0), m_nIconHeight(0), m_nIconCount(4)
{
    m_nAlign = 1;
}

MButton::~MButton() { delete m_pIcon; }

int MButton::SetIconImage(const wchar_t* name, int count)
{
    delete m_pIcon;
    m_pIcon = nullptr;
    m_nIconWidth = m_nIconHeight = 0;
    if (name == nullptr || count < 1)
        return 0;
    m_pIcon = MRender::LoadImageFromFile(GetSkinFolder() + name);
    if (m_pIcon == nullptr)
        return 0;
    m_nIconWidth = static_cast<int>(m_pIcon->GetWidth()) / count;
    m_nIconHeight = static_cast<int>(m_pIcon->GetHeight());
    m_nIconCount = count;
    return 1;
}

void MButton::SetControlEnabled(int enabled)
{
    if (enabled == m_bEnabled)
        return;
    m_bEnabled = enabled;
    m_nState = enabled ? STATE_NORMAL : STATE_DISABLED;
    RequestUpdate(0);
    OnStateChanged();
}

int MButton::OnControlMouseMove(UINT, CPoint pt)
{
    if (!m_bEnabled || m_nState == STATE_PRESSED)
        return 0;
    int state = STATE_NORMAL;
    if (m_rect.PtInRect(pt)) {
        state = STATE_HOVER;
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    } else {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
    if (state == m_nState)
        return 0;
    m_nState = state;
    RequestUpdate(0);
    OnStateChanged();
    return 1;
}

int MButton::OnControlLButtonDown(UINT, CPoint pt)
{
    if (!m_bEnabled || !m_rect.PtInRect(pt))
        return 0;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    int old = m_nState;
    m_nState = STATE_PRESSED;
    if (m_pParent != nullptr)
        m_pParent->OnBaseMessage(m_nID, kNotifyPress, 0, 0);
    if (old == m_nState)
        return 0;
    RequestUpdate(0);
    OnStateChanged();
    return 1;
}

int MButton::OnControlLButtonUp(UINT, CPoint pt)
{
    if (!m_bEnabled)
        return 0;
    int old = m_nState;
    bool click = false;
    if (m_rect.PtInRect(pt)) {
        m_nState = STATE_HOVER;
        click = old == STATE_PRESSED;
    } else {
        m_nState = STATE_NORMAL;
    }
    if (old == m_nState)
        return 0;
    RequestUpdate(0);
    OnStateChanged();
    if (click && m_pParent != nullptr)
        m_pParent->OnBaseMessage(m_nID, kNotifyClick, 0, 0);
    return 1;
}

void MButton::DrawControl(HDC& dc, CRect)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (RebuildCache(dc, 4, true)) {
        Gdiplus::Graphics graphics(m_hMemDC);
        if (m_pImage != nullptr) {
            for (int i = 0; i < 4; ++i)
                MRender::DrawImageFrame(graphics, m_pImage, CRect(i * w, 0, (i + 1) * w, h), i * m_nImageWidth, 0,
                                        m_nImageWidth, m_nImageHeight, m_nFrameSize);
        }
        CString title = GetControlTitle();
        if (!title.IsEmpty()) {
            graphics.SetTextRenderingHint(m_textHint);
            Gdiplus::StringFormat format(0, LANG_NEUTRAL);
            InitStringFormat(format, 1, 4, kSingleLine);
            Gdiplus::SolidBrush grey{Gdiplus::Color(kDisabledText)};
            for (int i = 0; i < 4; ++i) {
                int p = i == STATE_PRESSED ? 1 : 0;
                Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(i * w + p), static_cast<Gdiplus::REAL>(p),
                                      static_cast<Gdiplus::REAL>(w), static_cast<Gdiplus::REAL>(h));
                if (!m_rcText.IsRectEmpty())
                    layout = Gdiplus::RectF(static_cast<Gdiplus::REAL>(i * w + m_rcText.left + p),
                                            static_cast<Gdiplus::REAL>(m_rcText.top + p),
                                            static_cast<Gdiplus::REAL>(m_rcText.Width()),
                                            static_cast<Gdiplus::REAL>(m_rcText.Height()));
                DrawTitleText(graphics, title, layout, format, ScaledFontSize(),
                              i == STATE_DISABLED ? &grey : nullptr);
            }
        }
    }
    ShowCache(dc, m_nState);
}
