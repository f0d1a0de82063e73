#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "CRect.h"
#include "CString.h"
#include "QLUIExport.h"

// One entry of an MImageList: a strip image with its frame geometry.
struct _M_IAMGELIST {
    Gdiplus::Image* image;
    int frameWidth;
    int height;
    int id;
    int count;
    CString path;
};

// An indexed list of strip images with per-entry ids (item icons of lists).
class QLUI_API MImageList {
public:
    MImageList();
    ~MImageList();
    MImageList(const MImageList&) = delete;
    MImageList& operator=(const MImageList&) = delete;

    int AddImage(const wchar_t* path, int id, int count);
    int InsertImage(int index, const wchar_t* path, int id, int count);
    void DrawItemIcon(Gdiplus::Graphics& graphics, CRect dest, int index);
    void DrawItemIcon(Gdiplus::Graphics& graphics, CRect dest, int index, int state);
    _M_IAMGELIST* GetItemImageData(int index);
    _M_IAMGELIST* GetImageDataByID(int id);
    CString GetImagePath(int index);
    CString GetImagePathByID(int id);
    int GetImageCount();
    int DelAllImages();
    void SetDrawImgSize(int cx, int cy);
    CSize GetIconSize() const;

private:
    CRITICAL_SECTION m_lock;
    std::vector<_M_IAMGELIST*> m_images;
    int m_drawCx;
    int m_drawCy;
};
