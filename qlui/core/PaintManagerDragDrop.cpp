// PaintManager: OLE drag and drop of control pictures.
#include "PaintManager.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <vector>

#include "ComObject.h"
#include "ComPtr.h"
#include "DropImage.h"
#include "PackedDib.h"
#include "ScopedSelect.h"
#include "UniqueResource.h"
#include "WindowDc.h"

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
    {
        UniqueMemoryDc source(::CreateCompatibleDC(nullptr));
        ScopedSelect select(source.get(), bitmap);
        ::BitBlt(recorder, 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
    }
    return ::CloseEnhMetaFile(recorder);
}

// Offers one bitmap as CF_BITMAP and as an enhanced metafile.
class BitmapDataObject : public ComObject<IDataObject> {
public:
    explicit BitmapDataObject(HBITMAP bitmap) : m_bitmap(bitmap) {}

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
    HBITMAP m_bitmap;
};

class DropSource : public ComObject<IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override
    {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

HBITMAP BitmapFromDib(HWND hwnd, HGLOBAL block)
{
    const void* data = ::GlobalLock(block);
    if (data == nullptr)
        return nullptr;
    WindowDc dc(hwnd);
    HBITMAP bitmap = BitmapFromPackedDib(dc.get(), data, ::GlobalSize(block));
    ::GlobalUnlock(block);
    return bitmap;
}

HBITMAP BitmapFromMetafile(HWND hwnd, HENHMETAFILE metafile)
{
    ENHMETAHEADER header = {};
    if (::GetEnhMetaFileHeader(metafile, sizeof(header), &header) == 0)
        return nullptr;
    WindowDc dc(hwnd);
    // Millimetre frame (0.01 mm) to device pixels.
    int cx = ::MulDiv(header.rclFrame.right - header.rclFrame.left, ::GetDeviceCaps(dc.get(), HORZRES),
                      ::GetDeviceCaps(dc.get(), HORZSIZE) * 100);
    int cy = ::MulDiv(header.rclFrame.bottom - header.rclFrame.top, ::GetDeviceCaps(dc.get(), VERTRES),
                      ::GetDeviceCaps(dc.get(), VERTSIZE) * 100);
    UniqueMemoryDc memDC(::CreateCompatibleDC(dc.get()));
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc.get(), cx, cy);
    ScopedSelect select(memDC.get(), bitmap);
    RECT frame = {0, 0, cx, cy};
    ::PlayEnhMetaFile(memDC.get(), metafile, &frame);
    return bitmap;
}

HBITMAP BitmapFromMedium(HWND hwnd, FORMATETC* format, STGMEDIUM& medium)
{
    switch (format->cfFormat) {
    case CF_BITMAP:
        return CopyBitmap(medium.hBitmap);
    case CF_DIB:
        return BitmapFromDib(hwnd, medium.hGlobal);
    case CF_ENHMETAFILE:
        return BitmapFromMetafile(hwnd, medium.hEnhMetaFile);
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

    // The objects start with one reference, which the owners take over.
    ComPtr<IDataObject> data;
    *data.put() = new BitmapDataObject(m_hDragBitmap);
    ComPtr<IDropSource> source;
    *source.put() = new DropSource;
    ComPtr<IDragSourceHelper> helper;
    if (SUCCEEDED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDragSourceHelper,
                                     reinterpret_cast<void**>(helper.put())))) {
        BITMAP info = {};
        ::GetObjectW(m_hDragBitmap, sizeof(info), &info);
        UniqueGdiObject dragImage(CopyBitmap(m_hDragBitmap));
        SHDRAGIMAGE image = {};
        image.sizeDragImage = {info.bmWidth, info.bmHeight};
        image.ptOffset = {info.bmWidth / 2, info.bmHeight / 2};
        image.hbmpDragImage = static_cast<HBITMAP>(dragImage.get());
        image.crColorKey = ::GetSysColor(COLOR_WINDOW);
        // On success the helper owns the picture.
        if (SUCCEEDED(helper->InitializeFromBitmap(&image, data.get())))
            dragImage.release();
    }
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(data.get(), source.get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
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
    UniqueGdiObject bitmap(BitmapFromMedium(m_hWndPaint, format, medium));
    if (!bitmap)
        return false;
    LRESULT answer = ::SendMessageW(m_hWndPaint, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
    if (answer != 0) {
        bitmap.release();
        // The window hands back the picture it replaced, which is ours to free.
        UniqueGdiObject replaced(answer != kDropImageKept ? reinterpret_cast<HGDIOBJ>(answer) : nullptr);
    }
    return true;
}
