#include "PackedDib.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool IsKnownHeaderSize(DWORD size)
{
    return size == sizeof(BITMAPINFOHEADER) || size == 52 || size == 56 || size == sizeof(BITMAPV4HEADER)
           || size == sizeof(BITMAPV5HEADER);
}

bool IsKnownDepth(WORD bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

HBITMAP BitmapFromPackedDib(HDC dc, const void* data, SIZE_T size)
{
    if (data == nullptr || size < sizeof(BITMAPINFOHEADER))
        return nullptr;
    const auto& header = *static_cast<const BITMAPINFOHEADER*>(data);
    if (!IsKnownHeaderSize(header.biSize) || header.biSize > size || header.biWidth <= 0 || header.biHeight == 0
        || header.biPlanes != 1 || !IsKnownDepth(header.biBitCount))
        return nullptr;
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
        return nullptr;
    if (header.biCompression == BI_BITFIELDS && header.biBitCount != 16 && header.biBitCount != 32)
        return nullptr;

    uint64_t colours = header.biClrUsed;
    if (header.biBitCount <= 8) {
        uint64_t most = 1ull << header.biBitCount;
        if (colours == 0)
            colours = most;
        if (colours > most)
            return nullptr;
    }
    // The 40-byte header is followed by its three masks; the later headers hold them.
    uint64_t masks = header.biCompression == BI_BITFIELDS && header.biSize == sizeof(BITMAPINFOHEADER) ? 3 : 0;
    uint64_t stride = ((static_cast<uint64_t>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    uint64_t rows = static_cast<uint64_t>(std::llabs(static_cast<long long>(header.biHeight)));
    uint64_t offset = header.biSize + (colours + masks) * sizeof(RGBQUAD);
    if (offset > size || stride > (size - offset) / rows)
        return nullptr;

    const BYTE* bits = static_cast<const BYTE*>(data) + offset;
    return ::CreateDIBitmap(dc, &header, CBM_INIT, bits, static_cast<const BITMAPINFO*>(data), DIB_RGB_COLORS);
}
