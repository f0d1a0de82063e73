#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "UpdateTestSupport.h"
#include "ZipEntryName.h"
#include "ZipExtractor.h"

namespace {

TEST(ZipEntryName, CleaningRulesRepeatUntilNoneApplies)
{
    const std::map<std::wstring, std::wstring> cases{
        {L"C:\\x\\setup.exe", L"x\\setup.exe"},
        {L"/abs/file", L"abs/file"},
        {L"a\\..\\..\\b.txt", L"b.txt"},
        {L"../b.txt", L"b.txt"},
        {L"C:..\\/..\\x", L"x"},              // drive, then parent, then separator, then parent
        {L"\\\\server\\share\\f", L"server\\share\\f"},
        {L"a/b\\..\\c/../d", L"d"},  // the first sequence, then the next
        {L"x/..\\y", L"y"},
        {L"a/..", L"a/.."},                   // no rule: left to the segment check
        {L"plain/name.txt", L"plain/name.txt"},
        {L"", L""},
    };
    for (const auto& [name, cleaned] : cases)
        EXPECT_EQ(CleanZipEntryName(name), cleaned) << name;
}

TEST(ZipEntryName, SegmentsThatWindowsWouldReadOtherwiseAreRefused)
{
    const std::map<std::wstring, EntryNameProblem> cases{
        {L"a//b\\\\c.txt", EntryNameProblem::None},
        {L"a/./b", EntryNameProblem::DotSegment},
        {L"./a", EntryNameProblem::DotSegment},
        {L"a\\.", EntryNameProblem::DotSegment},
        {L"a/..", EntryNameProblem::DotSegment},
        {L"/", EntryNameProblem::Empty},
        {L"name.", EntryNameProblem::TrailingDotOrSpace},
        {L"dir /x", EntryNameProblem::TrailingDotOrSpace},
        {L"...", EntryNameProblem::TrailingDotOrSpace},
        {L"a:b", EntryNameProblem::ForbiddenCharacter},
        {L"f::$DATA", EntryNameProblem::ForbiddenCharacter},
        {std::wstring(L"a\0b", 3), EntryNameProblem::ForbiddenCharacter},
        {L"tab\there", EntryNameProblem::ForbiddenCharacter},
        {L"q?", EntryNameProblem::ForbiddenCharacter},
        {L"Con", EntryNameProblem::ReservedDeviceName},
        {L"x/aux.tar.gz", EntryNameProblem::ReservedDeviceName},
        {L"LPT\u00B9", EntryNameProblem::ReservedDeviceName},
        {L"conout$", EntryNameProblem::ReservedDeviceName},
        {L"COM10", EntryNameProblem::None},
        {L"console.txt", EntryNameProblem::None},
        {L" lead", EntryNameProblem::None},
    };
    for (const auto& [name, problem] : cases) {
        std::wstring relative = L"unchanged";
        EXPECT_EQ(CheckZipEntryName(name, relative), problem) << name;
        if (problem != EntryNameProblem::None) {
            EXPECT_EQ(relative, L"unchanged") << name;
        }
    }
    std::wstring relative;
    ASSERT_EQ(CheckZipEntryName(L"a//b/\\c.txt/", relative), EntryNameProblem::None);
    EXPECT_EQ(relative, L"a\\b\\c.txt");
}

TEST(ZipEntryName, ContainmentIsCheckedOnTheAbsolutePath)
{
    EXPECT_TRUE(PathLiesInside(L"C:\\base\\", L"C:\\base\\a"));
    EXPECT_TRUE(PathLiesInside(L"C:\\base", L"c:/BASE/a/b"));
    EXPECT_TRUE(PathLiesInside(L"C:\\base\\\\temp\\", L"C:\\base\\temp\\x"));
    EXPECT_FALSE(PathLiesInside(L"C:\\base\\", L"C:\\base\\"));
    EXPECT_FALSE(PathLiesInside(L"C:\\base\\", L"C:\\base"));
    EXPECT_FALSE(PathLiesInside(L"C:\\base\\", L"C:\\base2\\a"));
    EXPECT_FALSE(PathLiesInside(L"C:\\base\\", L"C:\\base\\a\\..\\..\\x"));
    EXPECT_FALSE(PathLiesInside(L"C:\\base\\", L"D:\\base\\a"));
    EXPECT_FALSE(PathLiesInside(L"C:\\base\\", L"\\\\server\\share\\base\\a"));
}

// Expected UTC of a DOS time taken as local time, the other way round from the
// extractor: through the time zone's rules for that day.
FILETIME LocalToUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME local{year, month, 0, day, hour, minute, second, 0};
    SYSTEMTIME utc{};
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    FILETIME ft{};
    SystemTimeToFileTime(&utc, &ft);
    return ft;
}

ULONGLONG Ticks(const FILETIME& ft)
{
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

ULONGLONG UnixTicks(LONGLONG seconds)
{
    return static_cast<ULONGLONG>(seconds * 10000000LL + 116444736000000000LL);
}

struct FileTimes {
    ULONGLONG creation = 0, access = 0, write = 0;
};

FileTimes TimesOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return {Ticks(data.ftCreationTime), Ticks(data.ftLastAccessTime), Ticks(data.ftLastWriteTime)};
}

TEST(ZipExtractor, EdgeCasesLandBelowTheFolderWithTheirAttributesAndTimes)
{
    TempFolder temp(L"edge");
    const std::wstring base = temp.Path() + L"Files\\\\temp\\";  // the download folder's doubled backslash
    ZipExtractor extractor;
    ASSERT_TRUE(extractor.Extract(FixturePath(L"edge.zip"), base));

    EXPECT_EQ(FilesBelow(temp.Path() + L"Files\\temp"),
              (std::vector<std::wstring>{L"abs\\file", L"b.txt", L"hidden.txt", L"readonly.txt", L"stored.txt",
                                         L"tree\\sub\\deep\\file.txt", L"tree\\sub\\ut.txt", L"unix-readonly.txt",
                                         L"x\\setup.exe"}));
    EXPECT_EQ(Children(temp.Path()), std::vector<std::wstring>{L"Files"});
    EXPECT_TRUE(GetFileAttributesW((base + L"tree\\empty").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadBytes(base + L"x\\setup.exe"), "setup");
    EXPECT_EQ(ReadBytes(base + L"abs\\file"), "abs");
    EXPECT_EQ(ReadBytes(base + L"b.txt"), "second b");  // both b entries land there, the later wins
    EXPECT_EQ(ReadBytes(base + L"stored.txt").size(), 350u);

    const auto& entries = extractor.Entries();
    ASSERT_EQ(entries.size(), 13u);
    EXPECT_EQ(entries[0].name, L"x\\setup.exe");
    EXPECT_EQ(entries[1].name, L"abs/file");
    EXPECT_EQ(entries[2].name, L"b.txt");
    EXPECT_EQ(entries[3].name, L"b.txt");
    for (const ZipEntryRecord& e : entries) {
        const bool folder = e.name.back() == L'/';
        EXPECT_EQ(e.outcome, folder ? ZipEntryOutcome::FolderCreated : ZipEntryOutcome::FileWritten) << e.name;
    }
    EXPECT_EQ(entries[12].compressedSize, 350u);
    EXPECT_EQ(entries[12].uncompressedSize, 350u);

    // Attributes: DOS-family hosts as stored, other hosts from the Unix mode.
    const auto attributes = [&](const wchar_t* name) {
        return GetFileAttributesW((base + name).c_str()) &
               (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    };
    EXPECT_EQ(attributes(L"readonly.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(attributes(L"hidden.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(attributes(L"unix-readonly.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(attributes(L"abs\\file"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));

    // DOS time through local time to UTC for all three; "UT" replaces each.
    const ULONGLONG dos = Ticks(LocalToUtc(2019, 12, 31, 23, 58, 2));
    const FileTimes deep = TimesOf(base + L"tree\\sub\\deep\\file.txt");
    EXPECT_EQ(deep.write, dos);
    EXPECT_EQ(deep.creation, dos);
    EXPECT_EQ(deep.access, dos);
    EXPECT_EQ(Ticks(entries[6].writeTime), dos);
    const FileTimes ut = TimesOf(base + L"tree\\sub\\ut.txt");
    EXPECT_EQ(ut.write, UnixTicks(1600000000));
    EXPECT_EQ(ut.access, UnixTicks(1600000100));
    // Wine's file systems keep no settable creation time: the record says what was set.
    EXPECT_EQ(Ticks(entries[7].creationTime), UnixTicks(1500000000));
    EXPECT_EQ(Ticks(entries[7].writeTime), UnixTicks(1600000000));

    // Again over the first: the read-only file cannot be recreated, the rest is.
    WriteBytes(base + L"x\\setup.exe", "changed");
    ASSERT_TRUE(extractor.Extract(FixturePath(L"edge.zip"), base));
    EXPECT_EQ(extractor.Entries()[9].name, L"readonly.txt");
    EXPECT_EQ(extractor.Entries()[9].outcome, ZipEntryOutcome::NotCreated);
    EXPECT_EQ(extractor.Entries()[11].outcome, ZipEntryOutcome::NotCreated);  // unix-readonly.txt
    EXPECT_EQ(extractor.Entries()[10].outcome, ZipEntryOutcome::FileWritten);
    EXPECT_EQ(ReadBytes(base + L"readonly.txt"), "read only");
    EXPECT_EQ(ReadBytes(base + L"x\\setup.exe"), "setup");
}

// The bound counts what all entries wrote so far: an entry that would pass it
// is not started. (seed-small.zip: a/, a/b.txt 3000 bytes, c.txt 1, s.txt 100.)
TEST(ZipExtractor, EntriesBeyondTheTotalBoundAreSkipped)
{
    TempFolder temp(L"bound");
    ZipExtractor extractor(3050);
    ASSERT_TRUE(extractor.Extract(FixturePath(L"seed-small.zip"), temp.Path()));
    const auto& entries = extractor.Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].outcome, ZipEntryOutcome::FileWritten);
    EXPECT_EQ(entries[2].outcome, ZipEntryOutcome::FileWritten);
    EXPECT_EQ(entries[3].outcome, ZipEntryOutcome::TooLarge);
    EXPECT_FALSE(Exists(temp.Path() + L"s.txt"));
}

TEST(ZipExtractor, AnArchiveThatDoesNotOpenIsFalse)
{
    TempFolder temp(L"noarchive");
    ZipExtractor extractor;
    EXPECT_FALSE(extractor.Extract(FixturePath(L"pkg-not-a-zip.zip"), temp.Path()));
    EXPECT_FALSE(extractor.Extract(temp.Path() + L"missing.zip", temp.Path()));
    EXPECT_TRUE(extractor.Entries().empty());
    EXPECT_TRUE(Children(temp.Path()).empty());
}

}  // namespace
