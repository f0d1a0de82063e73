#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Paths.h"
#include "SkinPath.h"
#include "Settings.h"
#include "TestLock.h"
#include "UniqueResource.h"

namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Vantrel Glimra";

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

bool KeyExists()
{
    UniqueRegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::vector<std::wstring> ValueNames()
{
    std::vector<std::wstring> names;
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = ARRAYSIZE(name);
        if (RegEnumValueW(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, len);
    }
    return names;
}

bool ReadStored(const wchar_t* name, StoredValue& out)
{
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &out.type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    out.bytes.resize(size);
    return RegQueryValueExW(key.get(), name, nullptr, &out.type, out.bytes.data(), &size) == ERROR_SUCCESS;
}

void StoreRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
}

void StoreString(const wchar_t* name, const std::wstring& text)
{
    StoreRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The exact bytes of a plain REG_SZ holding text and its terminator.
void ExpectPlainString(const wchar_t* name, const wchar_t* text)
{
    StoredValue v;
    ASSERT_TRUE(ReadStored(name, v)) << "value missing";
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    const size_t chars = wcslen(text) + 1;
    ASSERT_EQ(v.bytes.size(), chars * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(v.bytes.data()), chars), std::wstring(text, chars));
}

// Each case starts without the settings key; other test processes that touch
// it wait meanwhile.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        ASSERT_FALSE(KeyExists());
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }

    CrossProcessLock lock_{L"CaldrisTest.SettingsKey"};
};

TEST_F(SettingsStore, FirstRunCreatesKeyAndWritesOnlyLedSwitch)
{
    const StartupSettings s = ReadStartupSettings();
    EXPECT_EQ(s.ledSwitch, 1);
    EXPECT_EQ(s.deviceType, 0);
    EXPECT_EQ(s.tempeType, 0);
    ASSERT_TRUE(KeyExists());
    EXPECT_EQ(ValueNames(), std::vector<std::wstring>{L"led_switch"});
    ExpectPlainString(L"led_switch", L"1");
}

TEST_F(SettingsStore, ReadOnMissingKeyCreatesItAndReturnsZero)
{
    EXPECT_EQ(ReadRegValue(L"device_type"), 0);
    EXPECT_TRUE(KeyExists());
    EXPECT_TRUE(ValueNames().empty());
}

TEST_F(SettingsStore, LedSwitchZeroIsRewrittenAsOne)
{
    StoreString(L"led_switch", L"0");
    EXPECT_EQ(ReadStartupSettings().ledSwitch, 1);
    ExpectPlainString(L"led_switch", L"1");
}

TEST_F(SettingsStore, LedSwitchTwoStartsOffAndStaysStored)
{
    StoreString(L"led_switch", L"2");
    EXPECT_EQ(ReadStartupSettings().ledSwitch, 2);
    ExpectPlainString(L"led_switch", L"2");
}

TEST_F(SettingsStore, LedSwitchFiveIsReadAsItIsAndCountsAsOff)
{
    StoreString(L"led_switch", L"5");
    const StartupSettings s = ReadStartupSettings();
    EXPECT_EQ(s.ledSwitch, 5);
    EXPECT_NE(s.ledSwitch, 1);
    ExpectPlainString(L"led_switch", L"5");
}

TEST_F(SettingsStore, StoredChoicesAreReadBack)
{
    StoreString(L"led_switch", L"1");
    StoreString(L"device_type", L"1");
    StoreString(L"tempe_type", L"1");
    const StartupSettings s = ReadStartupSettings();
    EXPECT_EQ(s.ledSwitch, 1);
    EXPECT_EQ(s.deviceType, 1);
    EXPECT_EQ(s.tempeType, 1);
}

TEST_F(SettingsStore, DwordValueReadsAsZero)
{
    const DWORD one = 1;
    StoreRaw(L"device_type", REG_DWORD, &one, sizeof(one));
    EXPECT_EQ(ReadRegValue(L"device_type"), 0);
}

TEST_F(SettingsStore, DwordLedSwitchIsReplacedByTheStringOne)
{
    const DWORD two = 2;
    StoreRaw(L"led_switch", REG_DWORD, &two, sizeof(two));
    EXPECT_EQ(ReadStartupSettings().ledSwitch, 1);
    ExpectPlainString(L"led_switch", L"1");
}

TEST_F(SettingsStore, ReadTakesLeadingDigitsOnly)
{
    StoreString(L"a", L"12abc");
    StoreString(L"b", L"abc");
    StoreString(L"c", L" 7");
    StoreString(L"d", L"");
    EXPECT_EQ(ReadRegValue(L"a"), 12);
    EXPECT_EQ(ReadRegValue(L"b"), 0);
    EXPECT_EQ(ReadRegValue(L"c"), 7);
    EXPECT_EQ(ReadRegValue(L"d"), 0);
}

TEST_F(SettingsStore, OverLongValueReadsAsZero)
{
    StoreString(L"led_switch", std::wstring(300, L'7'));
    EXPECT_EQ(ReadRegValue(L"led_switch"), 0);
    // Just past what the read takes: 127 characters and the terminator.
    StoreString(L"device_type", L"3" + std::wstring(126, L'x'));
    EXPECT_EQ(ReadRegValue(L"device_type"), 0);
}

TEST_F(SettingsStore, UnterminatedValuesEndInsideTheBuffer)
{
    const std::wstring two = L"42";
    StoreRaw(L"tempe_type", REG_SZ, two.data(), static_cast<DWORD>(two.size() * sizeof(wchar_t)));
    EXPECT_EQ(ReadRegValue(L"tempe_type"), 42);
    const std::wstring hundred = L"7" + std::wstring(99, L'x');
    StoreRaw(L"device_type", REG_SZ, hundred.data(), static_cast<DWORD>(hundred.size() * sizeof(wchar_t)));
    EXPECT_EQ(ReadRegValue(L"device_type"), 7);
}

TEST_F(SettingsStore, WritesArePlainOneCharacterStrings)
{
    ReadRegValue(L"led_switch");
    WriteRegValue(L"led_switch", L"2");
    WriteRegValue(L"device_type", L"1");
    WriteRegValue(L"tempe_type", L"0");
    ExpectPlainString(L"led_switch", L"2");
    ExpectPlainString(L"device_type", L"1");
    ExpectPlainString(L"tempe_type", L"0");
    EXPECT_EQ(ReadRegValue(L"led_switch"), 2);
    EXPECT_EQ(ReadRegValue(L"device_type"), 1);
}

TEST_F(SettingsStore, WriteWithoutKeyWritesNothing)
{
    WriteRegValue(L"led_switch", L"2");
    EXPECT_FALSE(KeyExists());
}

std::wstring ModuleFile()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(Paths, ModulePathIsTheProgramFolderWithBackslash)
{
    const std::wstring folder = GetModulePath();
    const std::wstring file = ModuleFile();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(file.compare(0, folder.size(), folder), 0);
    EXPECT_EQ(file.substr(folder.size()), L"shell_settings_tests.exe");
}

TEST(Paths, SkinsPathIsTheThemeFolderUnderTheProgram)
{
    EXPECT_EQ(GetSkinsPath(), GetModulePath() + L"skins\\theme1\\");
}

TEST(Paths, AppDataPathIsUnderLocalAppData)
{
    wchar_t local[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    EXPECT_EQ(GetAppDataPath(), std::wstring(local) + L"\\Vantrel Glimra Files\\");
    EXPECT_EQ(GetDownloadPath(), std::wstring(local) + L"\\Vantrel Glimra Files\\\\temp\\");
}

TEST(Paths, WithoutLocalAppDataNothingIsNamedOrWrittenAtTheDriveRoot)
{
    EXPECT_EQ(AppDataPathFrom(E_FAIL, L"C:\\users\\x\\AppData\\Local"), L"");
    EXPECT_EQ(AppDataPathFrom(S_OK, L""), L"");
    EXPECT_EQ(AppDataPathFrom(S_OK, nullptr), L"");
    EXPECT_EQ(AppDataPathFrom(S_OK, L"D:\\Local"), L"D:\\Local\\Vantrel Glimra Files\\");

    // What a caller does with the empty answer: the folder is refused, and the
    // root path the empty answer once turned into never appears.
    EXPECT_FALSE(CreateDirectoryTree(AppDataPathFrom(E_FAIL, nullptr)));
    EXPECT_FALSE(PathIsDirectoryW(L"\\Vantrel Glimra Files"));
}

class DirectoryTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"caldris-tree-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
        ASSERT_FALSE(PathIsDirectoryW(root_.c_str()));
    }
    void TearDown() override
    {
        // Deepest first; a failure here leaves only an empty folder in temp.
        for (auto it = created_.rbegin(); it != created_.rend(); ++it)
            RemoveDirectoryW(it->c_str());
        RemoveDirectoryW(root_.c_str());
    }
    void WillCreate(const std::wstring& dir) { created_.push_back(dir); }

    std::wstring root_;
    std::vector<std::wstring> created_;
};

TEST_F(DirectoryTree, ExistingDirectoryIsTrueAtOnce)
{
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    EXPECT_TRUE(CreateDirectoryTree(root_));
    EXPECT_TRUE(CreateDirectoryTree(root_ + L"\\"));
}

TEST_F(DirectoryTree, DoubledBackslashCreatesDataThenTempFolder)
{
    const std::wstring data = root_ + L"\\Vantrel Glimra Files\\";
    const std::wstring download = data + L"\\temp\\";
    WillCreate(root_ + L"\\Vantrel Glimra Files");
    WillCreate(root_ + L"\\Vantrel Glimra Files\\temp");
    EXPECT_TRUE(CreateDirectoryTree(download));
    EXPECT_TRUE(PathIsDirectoryW(data.c_str()));
    EXPECT_TRUE(PathIsDirectoryW((data + L"temp").c_str()));
    EXPECT_TRUE(CreateDirectoryTree(download));
}

TEST_F(DirectoryTree, MissingParentsAreCreated)
{
    const std::wstring deep = root_ + L"\\a\\b\\c";
    WillCreate(root_ + L"\\a");
    WillCreate(root_ + L"\\a\\b");
    WillCreate(deep);
    EXPECT_TRUE(CreateDirectoryTree(deep));
    EXPECT_TRUE(PathIsDirectoryW(deep.c_str()));
}

TEST_F(DirectoryTree, FalseWhenAFileStandsInTheWay)
{
    ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    const std::wstring file = root_ + L"\\blocker";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_FALSE(CreateDirectoryTree(file + L"\\sub"));
    EXPECT_FALSE(CreateDirectoryTree(file));
    DeleteFileW(file.c_str());
}

TEST(DownloadFolder, IsCreatedUnderLocalAppData)
{
    EXPECT_TRUE(CreateDirectoryTree(GetDownloadPath()));
    EXPECT_TRUE(PathIsDirectoryW((GetAppDataPath() + L"temp").c_str()));
}

}  // namespace
