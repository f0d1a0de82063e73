// The built skin and the program's embedded resources, loaded the way the
// program loads them: skin PNGs through GDI+, the icon file through the shell,
// and the program file's resources through the resource loader.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

std::wstring ModuleDir()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring SkinPath(const wchar_t* name) { return ModuleDir() + L"skins\\theme1\\" + name; }

class GdiplusSession : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token_, &input, nullptr));
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};
const auto* const gdiplusSession = ::testing::AddGlobalTestEnvironment(new GdiplusSession);

std::unique_ptr<Gdiplus::Bitmap> LoadSkin(const wchar_t* name)
{
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(SkinPath(name).c_str()));
    if (bitmap && bitmap->GetLastStatus() != Gdiplus::Ok)
        bitmap.reset();
    return bitmap;
}

BYTE AlphaAt(Gdiplus::Bitmap& bitmap, int x, int y)
{
    Gdiplus::Color colour;
    bitmap.GetPixel(x, y, &colour);
    return colour.GetA();
}

// ARGB values of one frame of a strip, row by row.
std::vector<Gdiplus::ARGB> FramePixels(Gdiplus::Bitmap& bitmap, int frame, int frameWidth)
{
    std::vector<Gdiplus::ARGB> pixels;
    for (UINT y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < frameWidth; ++x) {
            Gdiplus::Color colour;
            bitmap.GetPixel(frame * frameWidth + x, y, &colour);
            pixels.push_back(colour.GetValue());
        }
    return pixels;
}

std::string Narrow(const wchar_t* text)
{
    return std::string(text, text + wcslen(text));
}

// Where each image is drawn: the control rectangle (or window size) it fills
// one frame at a time, and how many state frames its strip holds. A switch
// shows one of two pictures in the same place.
struct Placement {
    std::vector<const wchar_t*> names;
    int frames;
    RECT rect;
};

const Placement kPlacements[] = {
    {{L"img_bkg.png"}, 1, {0, 0, 500, 350}},
    {{L"img_close.png"}, 4, {451, 14, 477, 39}},
    {{L"img_set.png", L"img_return.png"}, 4, {406, 12, 434, 40}},
    {{L"img_temp_type1.png", L"img_temp_type2.png"}, 1, {84, 106, 417, 245}},
    {{L"img_led_on.png", L"img_led_off.png"}, 1, {24, 12, 117, 43}},
    {{L"img_dev_cpu.png", L"img_dev_gpu.png"}, 1, {205, 289, 296, 317}},
    {{L"img_FAQ.png"}, 1, {140, 220, 365, 280}},
    {{L"img_button.png"}, 4, {120, 300, 240, 330}},
    {{L"bk_msgbox.png"}, 1, {0, 0, 360, 120}},
};

TEST(Skin, EveryPlacedImageFillsItsRectangleFrameByFrame)
{
    for (const auto& p : kPlacements)
        for (const wchar_t* name : p.names) {
            SCOPED_TRACE(testing::Message() << "image " << Narrow(name));
            auto bitmap = LoadSkin(name);
            ASSERT_TRUE(bitmap);
            const int frameWidth = p.rect.right - p.rect.left;
            EXPECT_EQ(UINT(frameWidth * p.frames), bitmap->GetWidth());
            EXPECT_EQ(UINT(p.rect.bottom - p.rect.top), bitmap->GetHeight());
            EXPECT_EQ(0u, bitmap->GetWidth() % p.frames);
        }
}

TEST(Skin, BalloonImagesLoad)
{
    for (const wchar_t* name : {L"img_tip_bk.png", L"img_tip_arrow_left.png", L"img_tip_arrow_right.png",
                                L"img_tip_arrow_top.png"}) {
        auto bitmap = LoadSkin(name);
        ASSERT_TRUE(bitmap);
        EXPECT_GT(bitmap->GetWidth(), 0u);
        EXPECT_GT(bitmap->GetHeight(), 0u);
    }
}

TEST(Skin, BackgroundHasTransparentRoundedCornersAndOpaqueBody)
{
    auto bitmap = LoadSkin(L"img_bkg.png");
    ASSERT_TRUE(bitmap);
    const std::pair<BYTE, std::vector<POINT>> alphas[] = {
        {0, {{0, 0}, {499, 0}, {0, 349}, {499, 349}}},
        {255, {{250, 175}, {250, 0}, {0, 175}, {499, 175}, {250, 349}}},
    };
    for (const auto& [alpha, points] : alphas)
        for (const POINT& p : points)
            EXPECT_EQ(alpha, AlphaAt(*bitmap, p.x, p.y)) << p.x << "," << p.y;
    // The curve itself is partly transparent: soft, not a hard cut.
    bool softEdge = false;
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 14; ++x) {
            const BYTE a = AlphaAt(*bitmap, x, y);
            softEdge = softEdge || (a > 0 && a < 255);
        }
    EXPECT_TRUE(softEdge);
}

TEST(Skin, ButtonStatesAreDistinctAndNotEmpty)
{
    for (const auto& p : kPlacements) {
        if (p.frames != 4)
            continue;
        for (const wchar_t* name : p.names) {
            SCOPED_TRACE(testing::Message() << "strip " << Narrow(name));
            auto bitmap = LoadSkin(name);
            ASSERT_TRUE(bitmap);
            const int frameWidth = int(bitmap->GetWidth()) / p.frames;
            std::vector<std::vector<Gdiplus::ARGB>> frames;
            for (int f = 0; f < p.frames; ++f) {
                frames.push_back(FramePixels(*bitmap, f, frameWidth));
                bool drawn = false;
                for (Gdiplus::ARGB argb : frames.back())
                    drawn = drawn || (argb >> 24) != 0;
                EXPECT_TRUE(drawn) << "frame " << f;
            }
            for (int a = 0; a < p.frames; ++a)
                for (int b = a + 1; b < p.frames; ++b)
                    EXPECT_NE(frames[a], frames[b]) << "frames " << a << " and " << b;
        }
    }
}

TEST(Skin, SwitchPicturesDifferBetweenTheirStates)
{
    for (const auto& p : kPlacements) {
        if (p.names.size() != 2)
            continue;
        SCOPED_TRACE(testing::Message() << "switch " << Narrow(p.names[0]));
        auto a = LoadSkin(p.names[0]);
        auto b = LoadSkin(p.names[1]);
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->GetWidth(), b->GetWidth());
        EXPECT_NE(FramePixels(*a, 0, int(a->GetWidth())), FramePixels(*b, 0, int(b->GetWidth())));
    }
}

// Nine-slice drawing stretches the middle columns: they must all be alike, or a
// wider button or dialog would smear whatever lies there.
void ExpectUniformMiddle(const wchar_t* name, int frames, int corner)
{
    auto bitmap = LoadSkin(name);
    ASSERT_TRUE(bitmap);
    const int frameWidth = int(bitmap->GetWidth()) / frames;
    for (int f = 0; f < frames; ++f)
        for (UINT y = 0; y < bitmap->GetHeight(); ++y) {
            Gdiplus::Color reference;
            bitmap->GetPixel(f * frameWidth + corner, y, &reference);
            for (int x = corner; x < frameWidth - corner; ++x) {
                Gdiplus::Color colour;
                bitmap->GetPixel(f * frameWidth + x, y, &colour);
                ASSERT_EQ(reference.GetValue(), colour.GetValue()) << "frame " << f << " x " << x << " y " << y;
            }
        }
}

TEST(Skin, NineSliceImagesAreUniformBetweenTheirCorners)
{
    ExpectUniformMiddle(L"img_button.png", 4, 8);
    ExpectUniformMiddle(L"bk_msgbox.png", 1, 16);
    ExpectUniformMiddle(L"img_tip_bk.png", 1, 6);
}

TEST(Icon, SkinIconLoadsAtEverySize)
{
    const std::wstring path = SkinPath(L"Caldris.ico");
    for (int size : {16, 24, 32, 48, 64, 256}) {
        HICON icon = static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
        ASSERT_NE(nullptr, icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(size, colour.bmWidth);
        EXPECT_EQ(size, colour.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(Icon, TrayLoaderFindsTheIconFile)
{
    // The tray loads its icon with ExtractAssociatedIconW, which needs a writable buffer.
    std::wstring path = SkinPath(L"Caldris.ico");
    path.resize(MAX_PATH);
    WORD index = 0;
    HICON icon = ExtractAssociatedIconW(GetModuleHandleW(nullptr), path.data(), &index);
    ASSERT_NE(nullptr, icon);
    DestroyIcon(icon);
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExW((ModuleDir() + L"Vantrel Glimra.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module_) << GetLastError();
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
    }

    std::string Resource(LPCWSTR name, LPCWSTR type)
    {
        HRSRC found = FindResourceW(module_, name, type);
        if (!found)
            return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return data ? std::string(data, SizeofResource(module_, found)) : std::string();
    }

    HMODULE module_ = nullptr;
};

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramResources, IconGroup107HoldsEverySize)
{
    const std::string group = Resource(MAKEINTRESOURCEW(107), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(6, count);
    ASSERT_EQ(6u + count * sizeof(GroupIconEntry), group.size());
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const GroupIconEntry*>(group.data() + 6 + i * sizeof(GroupIconEntry));
        sizes.push_back(entry->width == 0 ? 256 : entry->width);
        EXPECT_EQ(32, entry->bitCount);
    }
    EXPECT_EQ((std::vector<int>{16, 24, 32, 48, 64, 256}), sizes);

    HICON icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(107), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(nullptr, icon);
    DestroyIcon(icon);
}

TEST_F(ProgramResources, ManifestAsksForAdministratorAndCommonControls6)
{
    const std::string manifest = Resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(std::string::npos, manifest.find(R"(level="requireAdministrator")"));
    EXPECT_NE(std::string::npos, manifest.find(R"(uiAccess="false")"));
    EXPECT_NE(std::string::npos, manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"));
}

TEST_F(ProgramResources, VersionInformationNamesTheProduct)
{
    const std::wstring exe = ModuleDir() + L"Vantrel Glimra.exe";
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00010009u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00010009u, fixed->dwProductVersionLS);

    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(L"Vantrel Glimra", product);
}

} // namespace
