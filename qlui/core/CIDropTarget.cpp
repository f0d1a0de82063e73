#include "CIDropTarget.h"

#include "ComPtr.h"
#include "UniqueResource.h"

CIDropTarget::CIDropTarget()
    : m_refCount(1), m_hTargetWnd(nullptr), m_pDropHelper(nullptr), m_allowDrop(false), m_acceptedFormat()
{
    ::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                       reinterpret_cast<void**>(&m_pDropHelper));
}

CIDropTarget::~CIDropTarget()
{
    CloseMember<ComPtr<IDropTargetHelper>>(m_pDropHelper);
}

HRESULT CIDropTarget::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

// The owner embeds the object: counting never frees it.
ULONG CIDropTarget::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_refCount)); }
ULONG CIDropTarget::Release() { return static_cast<ULONG>(::InterlockedDecrement(&m_refCount)); }

void CIDropTarget::AddSuportedFormat(FORMATETC& format) { m_formats.push_back(format); }

DWORD CIDropTarget::EffectFromKeys(DWORD keys, DWORD allowed) const
{
    DWORD effect = (keys & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    if (allowed & effect)
        return effect;
    if (allowed & DROPEFFECT_COPY)
        return DROPEFFECT_COPY;
    if (allowed & DROPEFFECT_MOVE)
        return DROPEFFECT_MOVE;
    return DROPEFFECT_NONE;
}

HRESULT CIDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect)
{
    if (data == nullptr || effect == nullptr)
        return E_INVALIDARG;
    if (m_pDropHelper != nullptr) {
        POINT p = {pt.x, pt.y};
        m_pDropHelper->DragEnter(m_hTargetWnd, data, &p, *effect);
    }
    m_allowDrop = false;
    for (FORMATETC& format : m_formats) {
        if (data->QueryGetData(&format) == S_OK) {
            m_allowDrop = true;
            m_acceptedFormat = format;
            break;
        }
    }
    *effect = m_allowDrop ? EffectFromKeys(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT CIDropTarget::DragOver(DWORD keys, POINTL pt, DWORD* effect)
{
    if (effect == nullptr)
        return E_INVALIDARG;
    if (m_pDropHelper != nullptr) {
        POINT p = {pt.x, pt.y};
        m_pDropHelper->DragOver(&p, *effect);
    }
    *effect = m_allowDrop ? EffectFromKeys(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT CIDropTarget::DragLeave()
{
    if (m_pDropHelper != nullptr)
        m_pDropHelper->DragLeave();
    m_allowDrop = false;
    return S_OK;
}

HRESULT CIDropTarget::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect)
{
    if (data == nullptr || effect == nullptr)
        return E_INVALIDARG;
    if (m_pDropHelper != nullptr) {
        POINT p = {pt.x, pt.y};
        m_pDropHelper->Drop(data, &p, *effect);
    }
    if (m_allowDrop) {
        *effect = EffectFromKeys(keys, *effect);
        STGMEDIUM medium = {};
        if (data->GetData(&m_acceptedFormat, &medium) == S_OK) {
            if (OnDrop(&m_acceptedFormat, medium, effect))
                *effect = DROPEFFECT_NONE;
            ::ReleaseStgMedium(&medium);
        }
    } else {
        *effect = DROPEFFECT_NONE;
    }
    m_allowDrop = false;
    return S_OK;
}

bool CIDropTarget::OnDrop(FORMATETC*, STGMEDIUM&, DWORD*) { return false; }
