// PaintManager: the image caches and the private fonts.
#include "PaintManager.h"

#include "MRender.h"
#include "Manager.h"
#include "ScopedLock.h"

namespace {

ImgResInfo* MakeRecord(Gdiplus::Image* image, int frames, const CString& name)
{
    if (frames < 1)
        frames = 1;
    return new ImgResInfo{image, static_cast<int>(image->GetWidth()) / frames, static_cast<int>(image->GetHeight()),
                          frames, name};
}

// The bytes of a "ttf" resource of the library's own module.
bool FontResource(UINT id, const void*& data, DWORD& size)
{
    HMODULE module = Manager::GetLibraryInstance();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"ttf");
    if (found == nullptr)
        return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    data = loaded ? ::LockResource(loaded) : nullptr;
    size = ::SizeofResource(module, found);
    return data != nullptr && size != 0;
}

} // namespace

ImgResInfo* PaintManager::AddImgResInfo(const wchar_t* file, int frames)
{
    if (file == nullptr)
        return nullptr;
    ScopedLock lock(m_csImgFile);
    CString name(file);
    auto found = m_imgByFile.find(name);
    if (found != m_imgByFile.end())
        return found->second;
    Gdiplus::Image* image = MRender::LoadImageFromFile(GetSkinFolder() + name);
    if (image == nullptr)
        return nullptr;
    ImgResInfo* record = MakeRecord(image, frames, name);
    m_imgByFile[name] = record;
    return record;
}

ImgResInfo* PaintManager::AddImgResInfo(UINT id, CString type, int frames, int)
{
    ScopedLock lock(m_csImgRes);
    auto key = std::make_pair(id, type);
    auto found = m_imgByRes.find(key);
    if (found != m_imgByRes.end())
        return found->second;
    Gdiplus::Image* image = MRender::LoadImageFromIDResource(id, type, Manager::GetInstance());
    if (image == nullptr)
        return nullptr;
    CString name;
    name.Format(L"#%u", id);
    ImgResInfo* record = MakeRecord(image, frames, name);
    m_imgByRes[key] = record;
    return record;
}

void PaintManager::ClearImgResInfo()
{
    {
        ScopedLock lock(m_csImgFile);
        for (auto& [name, record] : m_imgByFile) {
            delete record->image;
            delete record;
        }
        m_imgByFile.clear();
    }
    ScopedLock lock(m_csImgRes);
    for (auto& [key, record] : m_imgByRes) {
        delete record->image;
        delete record;
    }
    m_imgByRes.clear();
}

BOOL PaintManager::AddGDITempFont(UINT resourceId)
{
    const void* data = nullptr;
    DWORD size = 0;
    if (!FontResource(resourceId, data, size))
        return FALSE;
    DWORD installed = 0;
    HANDLE handle = ::AddFontMemResourceEx(const_cast<void*>(data), size, nullptr, &installed);
    if (handle == nullptr)
        return FALSE;
    ScopedLock lock(m_csFonts);
    m_fontHandles.push_back(handle);
    return TRUE;
}

namespace {

Gdiplus::FontFamily* FirstFamily(Gdiplus::PrivateFontCollection& collection)
{
    if (collection.GetFamilyCount() < 1)
        return nullptr;
    Gdiplus::FontFamily family;
    INT found = 0;
    if (collection.GetFamilies(1, &family, &found) != Gdiplus::Ok || found < 1)
        return nullptr;
    return family.Clone();
}

// Stores the collection's first family under name (the collection stays alive
// as long as the family cloned from it); null, and the collection gone, when
// it holds none.
Gdiplus::FontFamily* KeepFirstFamily(Gdiplus::PrivateFontCollection* collection, const wchar_t* name,
                                     CRITICAL_SECTION& lock,
                                     std::vector<Gdiplus::PrivateFontCollection*>& collections,
                                     std::map<CString, Gdiplus::FontFamily*>& fonts)
{
    Gdiplus::FontFamily* family = FirstFamily(*collection);
    if (family == nullptr) {
        delete collection;
        return nullptr;
    }
    ScopedLock hold(lock);
    collections.push_back(collection);
    CString key(name);
    delete fonts[key];
    fonts[key] = family;
    return family;
}

} // namespace

Gdiplus::FontFamily* PaintManager::AddTempFont(const wchar_t* name, const wchar_t* file)
{
    if (name == nullptr || file == nullptr)
        return nullptr;
    auto* collection = new Gdiplus::PrivateFontCollection();
    collection->AddFontFile(file);
    return KeepFirstFamily(collection, name, m_csFonts, m_fontCollections, m_fonts);
}

Gdiplus::FontFamily* PaintManager::AddTempFont(const wchar_t* name, UINT resourceId)
{
    const void* data = nullptr;
    DWORD size = 0;
    if (name == nullptr || !FontResource(resourceId, data, size))
        return nullptr;
    auto* collection = new Gdiplus::PrivateFontCollection();
    collection->AddMemoryFont(data, static_cast<INT>(size));
    return KeepFirstFamily(collection, name, m_csFonts, m_fontCollections, m_fonts);
}

Gdiplus::FontFamily* PaintManager::FindTempFont(const wchar_t*)
{
    // Every control draws in the one library family, whatever it asks for.
    CString key = Manager::GetFontName();
    ScopedLock lock(m_csFonts);
    auto found = m_fonts.find(key);
    if (found != m_fonts.end())
        return found->second;
    auto* family = new Gdiplus::FontFamily(key.GetString());
    if (family->GetLastStatus() != Gdiplus::Ok || !family->IsAvailable()) {
        delete family;
        return nullptr;
    }
    m_fonts[key] = family;
    return family;
}

void PaintManager::ClearTempFont()
{
    ScopedLock lock(m_csFonts);
    for (auto& [name, family] : m_fonts)
        delete family;
    m_fonts.clear();
    for (HANDLE handle : m_fontHandles)
        ::RemoveFontMemResourceEx(handle);
    m_fontHandles.clear();
    for (Gdiplus::PrivateFontCollection* collection : m_fontCollections)
        delete collection;
    m_fontCollections.clear();
}

size_t PaintManager::GetGDIFontCount()
{
    ScopedLock lock(m_csFonts);
    return m_fontHandles.size();
}
