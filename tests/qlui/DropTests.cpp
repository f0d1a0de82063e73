// Drops on a window's manager through its OLE drop target: what is taken,
// what is refused, and who frees the dropped picture.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ComObject.h"
#include "DropImage.h"
#include "MRender.h"
#include "QluiTestSupport.h"

namespace {

// Offers one format; each GetData makes a fresh medium, as a real source does.
class OneFormatData : public ComObject<IDataObject> {
public:
    OneFormatData(FORMATETC format, std::function<void(STGMEDIUM&)> make)
        : m_format(format), m_make(std::move(make))
    {
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        *medium = {};
        medium->tymed = m_format.tymed;
        m_make(*medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        return format->cfFormat == m_format.cfFormat && (format->tymed & m_format.tymed) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override
    {
        return ::SHCreateStdEnumFmtEtc(1, &m_format, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    FORMATETC m_format;
    std::function<void(STGMEDIUM&)> m_make;
};

HGLOBAL Block(const std::vector<BYTE>& bytes)
{
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(::GlobalLock(block), bytes.data(), bytes.size());
    ::GlobalUnlock(block);
    return block;
}

// A packed 32-bit DIB of cx x cy: a header of headerSize bytes, three masks
// after a 40-byte header with bit fields, then the pixels; trim cuts bytes off
// the end.
std::vector<BYTE> PackedDib(DWORD headerSize, int cx, int cy, DWORD compression, size_t trim = 0)
{
    size_t masks = compression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    std::vector<BYTE> bytes(headerSize + masks + static_cast<size_t>(cx) * cy * 4, 0x7F);
    BITMAPV5HEADER header = {};
    header.bV5Size = headerSize;
    header.bV5Width = cx;
    header.bV5Height = cy;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = compression;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    std::memcpy(bytes.data(), &header, std::min<size_t>(headerSize, sizeof(header)));
    if (masks != 0) {
        const DWORD fields[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
        std::memcpy(bytes.data() + headerSize, fields, sizeof(fields));
    }
    bytes.resize(bytes.size() - trim);
    return bytes;
}

class Drops : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, window.CreatePopup(60, 60, 200, 150));
        hwnd = window.GetSafeHwnd();
        window.hook = [this](UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
            if (msg != STM_SETIMAGE)
                return false;
            received.push_back(reinterpret_cast<HBITMAP>(lParam));
            result = answer;
            return answer != 0;
        };
        PumpMessages(20);
    }
    void TearDown() override { window.DestroyWindow(); }

    // Drags data over the window and drops it, as OLE does.
    void Drop(IDataObject* data)
    {
        IDropTarget* target = &window.pm;
        POINTL pt = {100, 100};
        DWORD effect = DROPEFFECT_COPY;
        target->DragEnter(data, 0, pt, &effect);
        effect = DROPEFFECT_COPY;
        target->Drop(data, 0, pt, &effect);
    }
    void DropDib(const std::vector<BYTE>& bytes)
    {
        auto* data = new OneFormatData({CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                                       [&bytes](STGMEDIUM& medium) { medium.hGlobal = Block(bytes); });
        Drop(data);
        data->Release();
    }

    TestWindow window;
    HWND hwnd = nullptr;
    std::vector<HBITMAP> received;
    LRESULT answer = 0;
};

} // namespace

// A packed DIB is taken only when its header is one Windows defines and the
// block holds every byte the header claims.
TEST_F(Drops, DibsAreCheckedAgainstTheirBlock)
{
    const struct {
        const char* what;
        std::vector<BYTE> bytes;
        bool taken;
    } cases[] = {
        {"one pixel byte short", PackedDib(sizeof(BITMAPINFOHEADER), 3, 2, BI_RGB, 1), false},
        {"64 bytes claiming 4000 x 4000", [] {
             std::vector<BYTE> bytes = PackedDib(sizeof(BITMAPINFOHEADER), 4000, 4000, BI_RGB);
             bytes.resize(64);
             return bytes;
         }(), false},
        {"header size of no known header", PackedDib(72, 3, 2, BI_RGB), false},
        {"header longer than the block", [] {
             std::vector<BYTE> bytes = PackedDib(sizeof(BITMAPV5HEADER), 1, 1, BI_RGB);
             bytes.resize(60);
             return bytes;
         }(), false},
        {"40-byte header", PackedDib(sizeof(BITMAPINFOHEADER), 3, 2, BI_RGB), true},
        {"40-byte header with masks", PackedDib(sizeof(BITMAPINFOHEADER), 3, 2, BI_BITFIELDS), true},
        {"V4 header with masks inside", PackedDib(sizeof(BITMAPV4HEADER), 3, 2, BI_BITFIELDS), true},
        {"V5 header", PackedDib(sizeof(BITMAPV5HEADER), 3, 2, BI_RGB), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        received.clear();
        DropDib(c.bytes);
        EXPECT_EQ(c.taken ? 1u : 0u, received.size());
    }
}

// Every dropped picture is freed by whoever does not keep it: the sender when
// the window leaves it, the window when it answers that it keeps it. Repeated
// drops of every kind, repaints and rebuilds leave the handle count where it was.
TEST_F(Drops, NoDropLeavesAGdiHandleBehind)
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"qlui-drop-" + std::to_wstring(::GetCurrentProcessId()) + L".bmp";
    {
        HBITMAP picture = ::CreateBitmap(4, 4, 1, 32, nullptr);
        ASSERT_EQ(1, MRender::SaveBitmapToFile(picture, file.c_str()));
        ::DeleteObject(picture);
    }
    const std::vector<BYTE> dib = PackedDib(sizeof(BITMAPINFOHEADER), 4, 4, BI_RGB);
    std::vector<IDataObject*> sources = {
        new OneFormatData({CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                          [&dib](STGMEDIUM& medium) { medium.hGlobal = Block(dib); }),
        new OneFormatData({CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                          [&file](STGMEDIUM& medium) {
                              std::vector<BYTE> bytes(sizeof(DROPFILES) + (file.size() + 2) * sizeof(wchar_t), 0);
                              auto* list = reinterpret_cast<DROPFILES*>(bytes.data());
                              list->pFiles = sizeof(DROPFILES);
                              list->fWide = TRUE;
                              std::memcpy(bytes.data() + sizeof(DROPFILES), file.c_str(),
                                          file.size() * sizeof(wchar_t));
                              medium.hGlobal = Block(bytes);
                          }),
        new OneFormatData({CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF}, [](STGMEDIUM& medium) {
            RECT frame = {0, 0, 300, 200};
            HDC recorder = ::CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
            ::Rectangle(recorder, 0, 0, 10, 10);
            medium.hEnhMetaFile = ::CloseEnhMetaFile(recorder);
        }),
    };
    TestParent parent;
    parent.pm = &window.pm;
    auto* control = new TestControl(&parent, 1, CRect(10, 10, 60, 60));
    window.pm.AddControl(1, control);

    GdiHandleHighWater();
    const int before = GdiHandleHighWater();
    for (int round = 0; round < 100; ++round) {
        answer = round % 2 == 0 ? 0 : kDropImageKept;
        for (IDataObject* source : sources)
            Drop(source);
        window.pm.OnControlUpdate(control->GetRect(), TRUE, control);
        ::UpdateWindow(hwnd);
    }
    // What the window kept is its own to free.
    EXPECT_EQ(300u, received.size());
    size_t kept = 0;
    for (size_t i = 0; i < received.size(); ++i) {
        if ((i / 3) % 2 == 1) {
            EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), ::GetObjectType(received[i]));
            ::DeleteObject(received[i]);
            ++kept;
        }
    }
    EXPECT_EQ(150u, kept);
    EXPECT_LT(GdiHandleHighWater() - before, 20);

    for (IDataObject* source : sources)
        source->Release();
    ::DeleteFileW(file.c_str());
}
