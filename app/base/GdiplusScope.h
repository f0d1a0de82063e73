#pragma once
#include <windows.h>
#include <gdiplus.h>

// GDI+ for the life of the scope; every GDI+ object must be gone before it ends.
class GdiplusScope {
public:
    GdiplusScope()
    {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusScope()
    {
        if (started_)
            Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusScope(const GdiplusScope&) = delete;
    GdiplusScope& operator=(const GdiplusScope&) = delete;

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};
