#include "GalleryDlg.h"

#include "CArea.h"
#include "CImageButton.h"
#include "MButton.h"
#include "MPicture.h"
#include "MProgress.h"
#include "MText.h"

namespace {

const UINT kExitTimer = 1;
const UINT kClickCounterId = 900;
const UINT kRunningBarId = 901;
const wchar_t* const kStateNames[] = {L"normal", L"hover", L"pressed", L"disabled"};

// Buttons pinned to one state, so that every state is on screen at once.
template <class Base>
class PinnedButton : public Base {
public:
    PinnedButton(MObject* parent, UINT id, CRect rect, const wchar_t* title, int state)
        : Base(parent, id, rect, title, 1, state != MButton::STATE_DISABLED ? 1 : 0)
    {
        this->m_nState = state;
        // Pinned ones take no input; the live ones in the last column do.
        this->SetRresponse(0);
    }
};

} // namespace

GalleryDlg::GalleryDlg(UINT exitAfterMs) : m_nExitAfter(exitAfterMs), m_nClicks(0) {}

void GalleryDlg::AddLabel(int x, int y, int cx, const wchar_t* text, int size)
{
    auto* label = Make<MText>(L"MText", 0, CRect(x, y, x + cx, y + 20), text);
    label->SetFont(L"Arial", size, Gdiplus::FontStyleRegular);
    label->SetTextColor(Gdiplus::Color(0xFFB8C4D0));
}

void GalleryDlg::AddButtons(int y)
{
    AddLabel(16, y, 600, L"MButton (img_button.png, 4 frames)");
    for (int state = 0; state < 4; ++state) {
        int x = 16 + state * 130;
        auto* button = new PinnedButton<MButton>(this, 100 + state, CRect(x, y + 22, x + 120, y + 52),
                                                 kStateNames[state], state);
        m_PaintManager.AddControl(1, button);
        button->SetImage(L"img_button.png", 4);
        button->SetTextColor(Gdiplus::Color(0xFF141414));
    }
    auto* live = Make<MButton>(L"MButton", 110, CRect(540, y + 22, 660, y + 52), L"Click me");
    live->SetImage(L"img_button.png", 4);
    live->SetTextColor(Gdiplus::Color(0xFF141414));
    auto* counter = Make<MText>(L"MText", kClickCounterId, CRect(670, y + 22, 770, y + 52), L"0 clicks");
    counter->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
}

void GalleryDlg::AddImageButtons(int y)
{
    AddLabel(16, y, 700, L"CImageButton (img_close, img_set, img_return; the title is the hover bubble)");
    const struct {
        const wchar_t* image;
        int width;
        int height;
    } strips[] = {{L"img_close.png", 26, 25}, {L"img_set.png", 28, 28}, {L"img_return.png", 28, 28}};
    for (int s = 0; s < 3; ++s) {
        for (int state = 0; state < 4; ++state) {
            int x = 16 + (s * 4 + state) * 40;
            CRect rect(x, y + 24, x + strips[s].width, y + 24 + strips[s].height);
            auto* button = new PinnedButton<CImageButton>(this, 200 + s * 4 + state, rect, L"", state);
            m_PaintManager.AddControl(1, button);
            button->SetImage(strips[s].image, 4);
        }
    }
    auto* live = Make<CImageButton>(L"CImageButton", 220, CRect(520, y + 24, 548, y + 52), L"Settings");
    live->SetImage(L"img_set.png", 4);
    live->SetAlrBladderMode(1);
}

void GalleryDlg::AddPictures(int y)
{
    AddLabel(16, y, 700, L"MPicture modes 0-5: aligned, tiled, stretched, frame, frame with margins, custom source");
    for (int mode = 0; mode < 6; ++mode) {
        int x = 16 + mode * 124;
        CRect rect(x, y + 24, x + 112, y + 84);
        CreateArea(L"CArea", 0, rect, nullptr, 1, 1);
        auto* picture = Make<MPicture>(L"MPicture", 300 + mode, rect);
        picture->SetImage(L"gallery\\gallery_picture.png", 1);
        if (mode == SHOWMODE_ALIGN)
            picture->SetAlignment(1, 4);
        else if (mode == SHOWMODE_FRAMEMID)
            picture->SetShowModeMID(8, 8, 8, 8);
        else if (mode == SHOWMODE_CUSTOM)
            picture->SetCustomRect(CRect(0, 0, 20, 14));
        if (mode != SHOWMODE_FRAMEMID)
            picture->SetShowMode(static_cast<enumShowMode>(mode), 6);
    }
}

void GalleryDlg::AddProgressBars(int y)
{
    AddLabel(16, y, 700,
             L"MProgress: no image (the program's bar), two-frame strip, end-cap images with text, running");
    auto* plain = Make<MProgress>(L"MProgress", 400, CRect(16, y + 24, 186, y + 44));
    plain->SetProgress(30);
    auto* strip = Make<MProgress>(L"MProgress", 401, CRect(206, y + 24, 376, y + 44));
    strip->SetImage(L"gallery\\gallery_progress_strip.png", 2);
    strip->SetProgress(60);
    auto* capped = Make<MProgress>(L"MProgress", 402, CRect(396, y + 24, 566, y + 44));
    capped->SetBackGroundImage(L"gallery\\gallery_progress_bg.png");
    capped->SetForeGroundImage(L"gallery\\gallery_progress_fg.png");
    capped->SetTextColor(Gdiplus::Color(0xFF202020));
    capped->EnableShowText(1);
    capped->SetProgress(80);
    auto* running = Make<MProgress>(L"MProgress", kRunningBarId, CRect(586, y + 24, 756, y + 44));
    running->SetBackGroundImage(L"gallery\\gallery_progress_bg.png");
    running->SetForeGroundImage(L"gallery\\gallery_progress_fg.png");
    running->SetRun(1, 35);
    m_PaintManager.SetTimer(running, 1, 30);
}

void GalleryDlg::AddAreasAndTexts(int y)
{
    AddLabel(16, y, 700, L"CArea: default veil, opaque fill, framed fill, gradient veil     "
                             L"MText: one line, wrapping, back colour");
    const int areaY = y + 24;
    CreateControl(L"CArea", 500, CRect(16, areaY, 96, areaY + 60), nullptr, 1, 1);
    auto* opaque = Make<CArea>(L"CArea", 501, CRect(106, areaY, 186, areaY + 60));
    opaque->SetTransparent(0, 0, RGB(63, 167, 214));
    auto* framed = Make<CArea>(L"CArea", 502, CRect(196, areaY, 276, areaY + 60));
    framed->SetTransparent(0, 0, RGB(238, 99, 82));
    framed->SetFrame(1, Gdiplus::Color(0xFEFFFFFF), 0);
    auto* gradient = Make<CArea>(L"CArea", 503, CRect(286, areaY, 366, areaY + 60));
    gradient->SetTransparent(0, 90, RGB(250, 192, 94));

    const wchar_t* words = L"A text control wraps its words when multi-line is on.";
    auto* single = Make<MText>(L"MText", 510, CRect(386, areaY, 516, areaY + 60), words);
    single->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
    auto* wrapped = Make<MText>(L"MText", 511, CRect(526, areaY, 646, areaY + 60), words);
    wrapped->EnableMultiLine(1);
    wrapped->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
    auto* backed = Make<MText>(L"MText", 512, CRect(656, areaY, 766, areaY + 60), L"Centred");
    backed->EnableTextBack(1, Gdiplus::Color(0xFF3E9E6B));
    backed->SetAlignment(1, 4);
    backed->SetFont(L"Arial", 18, Gdiplus::FontStyleBold);
}

void GalleryDlg::InitUI(CRect client)
{
    LoadBKImage(L"gallery\\gallery_bkg.png");
    AddLabel(16, 10, client.Width() - 32, L"QLUI gallery", 18);
    auto* close = Make<CImageButton>(L"CImageButton", 1000, CRect(client.right - 42, 10, client.right - 16, 35), L"");
    close->SetImage(L"img_close.png", 4);
    AddButtons(44);
    AddImageButtons(108);
    AddPictures(178);
    AddProgressBars(284);
    AddAreasAndTexts(340);
    if (m_nExitAfter > 0)
        SetTimer(kExitTimer, m_nExitAfter);
}

LRESULT GalleryDlg::OnMessage(UINT id, UINT code, UINT, LPARAM)
{
    if (code != 2)
        return 0;
    if (id == 1000) {
        DoClose();
    } else if (id == 110) {
        ++m_nClicks;
        CString text;
        text.Format(L"%u click%s", m_nClicks, m_nClicks == 1 ? L"" : L"s");
        if (auto* counter = static_cast<MText*>(GetControl(kClickCounterId)))
            counter->SetTitle(text);
    }
    return 0;
}

void GalleryDlg::OnTimer(UINT id)
{
    if (id == kExitTimer) {
        KillTimer(kExitTimer);
        DoOK();
    }
}
