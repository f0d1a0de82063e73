#include "FirmwareImage.h"

#include <windows.h>

#include "UniqueResource.h"

namespace vcooler {

std::vector<uint8_t> BuildFirmwareImage(uint16_t version, size_t size)
{
    if (size < kImageMinBytes)
        size = kImageMinBytes;
    std::vector<uint8_t> image(size);
    // A position-dependent filler, so a report sent from the wrong offset shows.
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>((i * 131 + (i >> 8) * 7 + 0x5A) & 0xFF);
    image[kImageVersionOffset] = static_cast<uint8_t>(version >> 8);
    image[kImageVersionOffset + 1] = static_cast<uint8_t>(version & 0xFF);
    return image;
}

uint16_t ImageVersion(const std::vector<uint8_t>& image)
{
    if (image.size() < kImageMinBytes)
        return 0;
    return static_cast<uint16_t>(image[kImageVersionOffset] << 8 | image[kImageVersionOffset + 1]);
}

bool WriteFirmwareImage(const std::wstring& path, uint16_t version, size_t size)
{
    const std::vector<uint8_t> image = BuildFirmwareImage(version, size);
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), image.data(), static_cast<DWORD>(image.size()), &written, nullptr) &&
           written == image.size();
}

}  // namespace vcooler
