// PaintManager: OLE drag and drop of control pictures.
#include "PaintManager.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <vector>

#include "ScopedLock.h"

namespace {

HBITMAP CopyBitmap(HBITMAP source)
{
    return static_cast<HBITMAP>(::CopyImage(source, IMAGE_BITMAP, 0, 0, 0));
}

HENHMETAFILE MetafileFromBitmap(HBITMAP bitmap)
{
    BITMAP info = {};
    if (::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return nullptr;
    HDC recorder = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    HDC source = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(source, bitmap);
    ::BitBlt(recorder, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    ::SelectObject(source, old);
    ::DeleteDC(source);
    return ::CloseEnhMetaFile(recorder);
}

// Offers one bitmap as CF_BITMAP and as an enhanced metafile.
class BitmapDataObject : public IDataObject {
public:
    explicit BitmapDataObject(HBITMAP bitmap) : m_refs(1), m_bitmap(bitmap) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        *medium = {};
        if (format->cfFormat == CF_BITMAP) {
            medium->tymed = TYMED_GDI;
            medium->hBitmap = CopyBitmap(m_bitmap);
        } else {
            medium->tymed = TYMED_ENHMF;
            medium->hEnhMetaFile = MetafileFromBitmap(m_bitmap);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override
    {
        if (format == nullptr)
            return E_INVALIDARG;
        if (format->cfFormat == CF_BITMAP && (format->tymed & TYMED_GDI))
            return S_OK;
        if (format->cfFormat == CF_ENHMETAFILE && (format->tymed & TYMED_ENHMF))
            return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM* medium, BOOL release) override
    {
        // The drag-image helper stores its private formats here.
        if (release)
            ::ReleaseStgMedium(medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override
    {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC formats[2] = {{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI},
                                {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF}};
        return ::SHCreateStdEnumFmtEtc(2, formats, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    virtual ~BitmapDataObject() = default;
    LONG m_refs;
    HBITMAP m_bitmap;
};

class DropSource : public IDropSource {
public:
    DropSource() : m_refs(1) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    virtual ~DropSource() = default;
    LONG m_refs;
};

HBITMAP BitmapFromMedium(HWND hwnd, FORMATETC* format, STGMEDIUM& medium)
{
    switch (format->cfFormat) {
    case CF_BITMAP:
        return CopyBitmap(medium.hBitmap);
    case CF_DIB: {
        auto* info = static_cast<BITMAPINFO*>(::GlobalLock(medium.hGlobal));
        if (info == nullptr)
            return nullptr;
        DWORD colours = info->bmiHeader.biClrUsed;
        if (colours == 0 && info->bmiHeader.biBitCount <= 8)
            colours = 1u << info->bmiHeader.biBitCount;
        DWORD masks = info->bmiHeader.biCompression == BI_BITFIELDS ? 3 : 0;
        const BYTE* bits = reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize
                           + (colours + masks) * sizeof(RGBQUAD);
        HDC dc = ::GetDC(hwnd);
        HBITMAP bitmap = ::CreateDIBitmap(dc, &info->bmiHeader, CBM_INIT, bits, info, DIB_RGB_COLORS);
        ::ReleaseDC(hwnd, dc);
        ::GlobalUnlock(medium.hGlobal);
        return bitmap;
    }
    case CF_ENHMETAFILE: {
        ENHMETAHEADER header = {};
        ::GetEnhMetaFileHeader(medium.hEnhMetaFile, sizeof(header), &header);
        HDC dc = ::GetDC(hwnd);
        // Millimetre frame (0.01 mm) to device pixels.
        int cx = ::MulDiv(header.rclFrame.right - header.rclFrame.left, ::GetDeviceCaps(dc, HORZRES),
                          ::GetDeviceCaps(dc, HORZSIZE) * 100);
        int cy = ::MulDiv(header.rclFrame.bottom - header.rclFrame.top, ::GetDeviceCaps(dc, VERTRES),
                          ::GetDeviceCaps(dc, VERTSIZE) * 100);
        HDC memDC = ::CreateCompatibleDC(dc);
        HBITMAP bitmap = ::CreateCompatibleBitmap(dc, cx, cy);
        HGDIOBJ old = ::SelectObject(memDC, bitmap);
        RECT frame = {0, 0, cx, cy};
        ::PlayEnhMetaFile(memDC, medium.hEnhMetaFile, &frame);
        ::SelectObject(memDC, old);
        ::DeleteDC(memDC);
        ::ReleaseDC(hwnd, dc);
        return bitmap;
    }
    case CF_HDROP: {
        wchar_t file[MAX_PATH] = {};
        if (::DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, file, MAX_PATH) == 0)
            return nullptr;
        return static_cast<HBITMAP>(::LoadImageW(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    }
    default:
        return nullptr;
    }
}

} // namespace

BOOL PaintManager::InitDragDrop()
{
    if (FAILED(::RegisterDragDrop(m_hWndPaint, static_cast<IDropTarget*>(this))))
        return FALSE;
    FORMATETC formats[] = {{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI},
                           {CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                           {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                           {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF}};
    for (FORMATETC& format : formats)
        AddSuportedFormat(format);
    return TRUE;
}

void PaintManager::StartDrag()
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    bool moved = std::abs(cursor.x - m_nLastMouseX) > 2 && std::abs(cursor.y - m_nLastMouseY) > 2;
    m_nLastMouseX = cursor.x;
    m_nLastMouseY = cursor.y;
    if (moved || m_hDragBitmap == nullptr)
        return;
    RECT window;
    ::GetWindowRect(m_hWndPaint, &window);
    ::ClipCursor(&window);
    ::ReleaseCapture();
    m_bCaptured = FALSE;

    auto* data = new BitmapDataObject(m_hDragBitmap);
    auto* source = new DropSource();
    IDragSourceHelper* helper = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDragSourceHelper,
                                     reinterpret_cast<void**>(&helper)))) {
        BITMAP info = {};
        ::GetObjectW(m_hDragBitmap, sizeof(info), &info);
        SHDRAGIMAGE image = {};
        image.sizeDragImage = {info.bmWidth, info.bmHeight};
        image.ptOffset = {info.bmWidth / 2, info.bmHeight / 2};
        image.hbmpDragImage = CopyBitmap(m_hDragBitmap);
        image.crColorKey = ::GetSysColor(COLOR_WINDOW);
        if (FAILED(helper->InitializeFromBitmap(&image, data)))
            ::DeleteObject(image.hbmpDragImage);
        helper->Release();
    }
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    data->Release();
    source->Release();
    m_bDragPending = FALSE;
    m_bLButtonDown = FALSE;
    ::ClipCursor(nullptr);
}

bool PaintManager::OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD*)
{
    POINT cursor;
    ::GetCursorPos(&cursor);
    ::ScreenToClient(m_hWndPaint, &cursor);
    ::SendMessageW(m_hWndPaint, WM_LBUTTONUP, 0, MAKELPARAM(cursor.x, cursor.y));
    HBITMAP bitmap = BitmapFromMedium(m_hWndPaint, format, medium);
    if (bitmap == nullptr)
        return false;
    auto previous = reinterpret_cast<HBITMAP>(
        ::SendMessageW(m_hWndPaint, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous != nullptr)
        ::DeleteObject(previous);
    return true;
}
