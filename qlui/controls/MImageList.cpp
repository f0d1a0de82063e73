#include "MImageList.h"

#include <algorithm>

#include "MRender.h"
#include "ScopedLock.h"

namespace {


void DrawFrame(Gdiplus::Graphics& graphics, const _M_IAMGELIST* entry, const CRect& dest, int frame)
{
    if (entry->image == nullptr)
        return;
    graphics.DrawImage(entry->image, Gdiplus::Rect(dest.left, dest.top, dest.Width(), dest.Height()),
                       frame * entry->frameWidth, 0, entry->frameWidth, entry->height, Gdiplus::UnitPixel);
}

} // namespace

MImageList::MImageList() : m_drawCx(0), m_drawCy(0) { ::InitializeCriticalSection(&m_lock); }

MImageList::~MImageList()
{
    DelAllImages();
    ::DeleteCriticalSection(&m_lock);
}

int MImageList::AddImage(const wchar_t* path, int id, int count) { return InsertImage(-1, path, id, count); }

int MImageList::InsertImage(int index, const wchar_t* path, int id, int count)
{
    ScopedLock lock(m_lock);
    int size = static_cast<int>(m_images.size());
    if (path == nullptr || index < -1 || index > size - 1)
        return -1;
    auto* entry = new _M_IAMGELIST{nullptr, 0, 0, id, count, CString(path)};
    entry->image = MRender::LoadImageFromFile(entry->path);
    if (entry->image != nullptr && count > 0) {
        entry->frameWidth = static_cast<int>(entry->image->GetWidth()) / count;
        entry->height = static_cast<int>(entry->image->GetHeight());
    }
    if (index == -1) {
        m_images.push_back(entry);
        return size;
    }
    m_images.insert(m_images.begin() + index, entry);
    return index;
}

void MImageList::DrawItemIcon(Gdiplus::Graphics& graphics, CRect dest, int index)
{
    ScopedLock lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_images.size()))
        return;
    DrawFrame(graphics, m_images[index], dest, 0);
}

void MImageList::DrawItemIcon(Gdiplus::Graphics& graphics, CRect dest, int index, int state)
{
    ScopedLock lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_images.size()))
        return;
    const _M_IAMGELIST* entry = m_images[index];
    DrawFrame(graphics, entry, dest, std::max(0, std::min(state, entry->count - 1)));
}

_M_IAMGELIST* MImageList::GetItemImageData(int index)
{
    ScopedLock lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_images.size()))
        return nullptr;
    return m_images[index];
}

_M_IAMGELIST* MImageList::GetImageDataByID(int id)
{
    ScopedLock lock(m_lock);
    for (_M_IAMGELIST* entry : m_images) {
        if (entry->id == id)
            return entry;
    }
    return nullptr;
}

CString MImageList::GetImagePath(int index)
{
    _M_IAMGELIST* entry = GetItemImageData(index);
    return entry ? entry->path : CString();
}

CString MImageList::GetImagePathByID(int id)
{
    _M_IAMGELIST* entry = GetImageDataByID(id);
    return entry ? entry->path : CString();
}

int MImageList::GetImageCount()
{
    ScopedLock lock(m_lock);
    return static_cast<int>(m_images.size());
}

int MImageList::DelAllImages()
{
    ScopedLock lock(m_lock);
    for (_M_IAMGELIST* entry : m_images) {
        delete entry->image;
        delete entry;
    }
    m_images.clear();
    return 1;
}

void MImageList::SetDrawImgSize(int cx, int cy)
{
    m_drawCx = cx;
    m_drawCy = cy;
}

CSize MImageList::GetIconSize() const { return CSize(m_drawCx, m_drawCy); }
