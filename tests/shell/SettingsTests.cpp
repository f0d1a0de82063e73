#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
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

void Store(const wchar_t* name, const StoredValue& value)
{
    UniqueRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size())),
              ERROR_SUCCESS);
}

StoredValue Raw(DWORD type, const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    return {type, std::vector<BYTE>(bytes, bytes + size)};
}

// A REG_SZ with its terminator, or without one when unterminated.
StoredValue Text(const std::wstring& text, bool terminated = true)
{
    return Raw(REG_SZ, text.c_str(), (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

StoredValue Dword(DWORD value)
{
    return Raw(REG_DWORD, &value, sizeof value);
}

void StoreString(const wchar_t* name, const std::wstring& text)
{
    Store(name, Text(text));
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
void DeleteKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKey();
        ASSERT_FALSE(KeyExists());
    }
    void TearDown() override { DeleteKey(); }

    CrossProcessLock lock_{L"CaldrisTest.SettingsKey"};
};

TEST_F(SettingsStore, LedSwitchAtStartUpIsKeptUnlessZeroOrNotText)
{
    struct Case {
        const char* what;
        std::optional<StoredValue> stored;
        int read;            // what start-up reads
        const wchar_t* kept; // what stays stored
    };
    const Case cases[] = {
        {"first run", std::nullopt, 1, L"1"},
        {"zero", Text(L"0"), 1, L"1"},
        {"two (off)", Text(L"2"), 2, L"2"},
        {"five (off too)", Text(L"5"), 5, L"5"},
        {"a DWORD", Dword(2), 1, L"1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteKey();
        if (c.stored)
            Store(L"led_switch", *c.stored);
        const StartupSettings s = ReadStartupSettings();
        EXPECT_EQ(s.ledSwitch, c.read);
        EXPECT_EQ(s.deviceType, 0);
        EXPECT_EQ(s.tempeType, 0);
        EXPECT_EQ(ValueNames(), std::vector<std::wstring>{L"led_switch"});
        ExpectPlainString(L"led_switch", c.kept);
    }
}

TEST_F(SettingsStore, ReadOnMissingKeyCreatesItAndReturnsZero)
{
    EXPECT_EQ(ReadRegValue(L"device_type"), 0);
    EXPECT_TRUE(KeyExists());
    EXPECT_TRUE(ValueNames().empty());
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

TEST_F(SettingsStore, ReadTakesTheLeadingDigitsOfAShortString)
{
    const std::pair<StoredValue, int> cases[] = {
        {Text(L"12abc"), 12},
        {Text(L"abc"), 0},
        {Text(L" 7"), 7},
        {Text(L""), 0},
        {Dword(1), 0},
        {Text(std::wstring(300, L'7')), 0},
        // Just past what the read takes: 127 characters and the terminator.
        {Text(L"3" + std::wstring(126, L'x')), 0},
        // Unterminated values end inside the buffer.
        {Text(L"42", false), 42},
        {Text(L"7" + std::wstring(99, L'x'), false), 7},
    };
    int row = 0;
    for (const auto& [stored, read] : cases) {
        const std::wstring name = L"value" + std::to_wstring(++row);
        Store(name.c_str(), stored);
        EXPECT_EQ(ReadRegValue(name.c_str()), read) << "row " << row;
    }
}

TEST_F(SettingsStore, WritesArePlainOneCharacterStrings)
{
    ReadRegValue(L"led_switch");
    const std::pair<const wchar_t*, const wchar_t*> writes[] = {
        {L"led_switch", L"2"}, {L"device_type", L"1"}, {L"tempe_type", L"0"}};
    for (const auto& [name, text] : writes)
        WriteRegValue(name, text);
    for (const auto& [name, text] : writes) {
        ExpectPlainString(name, text);
        EXPECT_EQ(ReadRegValue(name), text[0] - L'0');
    }
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
}

TEST(Paths, StagingFolderIsDirectlyBelowTheMachineWideProgramData)
{
    wchar_t common[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common), S_OK);
    EXPECT_EQ(GetStagingFolderPath(), std::wstring(common) + L"\\Vantrel Glimra Update\\");
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

TEST(AppDataFolder, IsCreatedUnderLocalAppData)
{
    EXPECT_TRUE(CreateDirectoryTree(GetAppDataPath() + L"temp\\"));
    EXPECT_TRUE(PathIsDirectoryW((GetAppDataPath() + L"temp").c_str()));
}

}  // namespace
