#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "QLUIExport.h"

// The OLE drop target of a window: accepts the formats added with
// AddSuportedFormat and hands a drop to the virtual OnDrop. The object is
// embedded in its owner, so the reference count never deletes it.
class QLUI_API CIDropTarget : public IDropTarget {
public:
    CIDropTarget();
    virtual ~CIDropTarget();
    CIDropTarget(const CIDropTarget&) = delete;
    CIDropTarget& operator=(const CIDropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

    virtual bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect);

    void AddSuportedFormat(FORMATETC& format);
    void SetTargetWnd(HWND hwnd) { m_hTargetWnd = hwnd; }

private:
    DWORD EffectFromKeys(DWORD keys, DWORD allowed) const;

    LONG m_refCount;
    HWND m_hTargetWnd;
    IDropTargetHelper* m_pDropHelper;
    bool m_allowDrop;
    FORMATETC m_acceptedFormat;
    std::vector<FORMATETC> m_formats;
};
