#include "TestIconFile.h"

#include <cstdint>
#include <vector>

namespace {

template <class T>
void Put(std::vector<uint8_t>& out, T value)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
}

}  // namespace

bool WriteTestIcon(const std::wstring& path, COLORREF color)
{
    constexpr int kSide = 32;
    constexpr uint32_t kPixelBytes = kSide * kSide * 4;
    constexpr uint32_t kMaskBytes = kSide * 4;  // 1 bit a pixel, rows padded to 32 bits
    constexpr uint32_t kImageBytes = 40 + kPixelBytes + kMaskBytes;

    std::vector<uint8_t> ico;
    Put<uint16_t>(ico, 0);  // icon directory: reserved, type 1 (icon), one image
    Put<uint16_t>(ico, 1);
    Put<uint16_t>(ico, 1);
    Put<uint8_t>(ico, kSide);  // directory entry
    Put<uint8_t>(ico, kSide);
    Put<uint8_t>(ico, 0);
    Put<uint8_t>(ico, 0);
    Put<uint16_t>(ico, 1);
    Put<uint16_t>(ico, 32);
    Put<uint32_t>(ico, kImageBytes);
    Put<uint32_t>(ico, 6 + 16);
    Put<uint32_t>(ico, 40);  // BITMAPINFOHEADER; the height counts colour and mask rows
    Put<int32_t>(ico, kSide);
    Put<int32_t>(ico, kSide * 2);
    Put<uint16_t>(ico, 1);
    Put<uint16_t>(ico, 32);
    Put<uint32_t>(ico, BI_RGB);
    Put<uint32_t>(ico, kPixelBytes + kMaskBytes);
    for (int i = 0; i < 4; ++i)
        Put<uint32_t>(ico, 0);
    for (int i = 0; i < kSide * kSide; ++i) {
        Put<uint8_t>(ico, GetBValue(color));
        Put<uint8_t>(ico, GetGValue(color));
        Put<uint8_t>(ico, GetRValue(color));
        Put<uint8_t>(ico, 0xFF);
    }
    ico.insert(ico.end(), kMaskBytes, 0);  // all opaque

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, ico.data(), static_cast<DWORD>(ico.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == ico.size();
}
