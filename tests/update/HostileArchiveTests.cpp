#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "UpdateTestSupport.h"
#include "ZipExtractor.h"

namespace {

const char* OutcomeName(ZipEntryOutcome outcome)
{
    switch (outcome) {
    case ZipEntryOutcome::FileWritten: return "FileWritten";
    case ZipEntryOutcome::FolderCreated: return "FolderCreated";
    case ZipEntryOutcome::NameRefused: return "NameRefused";
    case ZipEntryOutcome::SymbolicLink: return "SymbolicLink";
    case ZipEntryOutcome::PasswordRequired: return "PasswordRequired";
    case ZipEntryOutcome::TooLarge: return "TooLarge";
    case ZipEntryOutcome::NotCreated: return "NotCreated";
    case ZipEntryOutcome::WriteFailed: return "WriteFailed";
    case ZipEntryOutcome::BrokenData: return "BrokenData";
    }
    return "?";
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Places an absolute name in a hostile entry could reach if it were taken as is.
const wchar_t* const kEscapes[] = {L"C:\\evil.txt", L"C:\\x", L"Z:\\tmp\\caldris-escape.txt",
                                   L"C:\\caldris-drive-relative.txt"};

// Each hostile archive: a good entry, the hostile one, a good entry. Extracted
// into sandbox\outside\target, nothing may appear beside target or above it,
// the good entries are written, and the hostile one has its expected outcome and
// lands, if anywhere, where the manifest says.
TEST(HostileArchives, NothingLandsOutsideTheFolderAndTheGoodEntriesStillExtract)
{
    std::ifstream manifest(FixturePath(L"hostile.txt").c_str());
    ASSERT_TRUE(manifest.good());
    TempFolder sandbox(L"hostile");
    std::string line;
    int cases = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string archive, expected, lands;
        std::getline(fields, archive, '\t');
        std::getline(fields, expected, '\t');
        std::getline(fields, lands, '\t');
        SCOPED_TRACE(archive);
        ++cases;

        const std::wstring caseFolder = sandbox.Path() + std::to_wstring(cases);
        const std::wstring target = caseFolder + L"\\outside\\target\\";
        ZipExtractor extractor;
        ASSERT_TRUE(extractor.Extract(FixturePath(Widen(archive)), target));

        const auto& entries = extractor.Entries();
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].outcome, ZipEntryOutcome::FileWritten);
        EXPECT_STREQ(OutcomeName(entries[1].outcome), expected.c_str());
        EXPECT_EQ(entries[2].outcome, ZipEntryOutcome::FileWritten);
        EXPECT_EQ(ReadBytes(target + L"good-before.txt"), "good before");
        EXPECT_EQ(ReadBytes(target + L"good-after.txt"), "good after");

        std::vector<std::wstring> expectedFiles{L"good-after.txt", L"good-before.txt"};
        if (lands != "-")
            expectedFiles.push_back(Widen(lands));
        std::sort(expectedFiles.begin(), expectedFiles.end());
        EXPECT_EQ(FilesBelow(target), expectedFiles);
        EXPECT_EQ(Children(caseFolder), std::vector<std::wstring>{L"outside"});
        EXPECT_EQ(Children(caseFolder + L"\\outside"), std::vector<std::wstring>{L"target"});
    }
    EXPECT_GE(cases, 30);
    EXPECT_EQ(Children(sandbox.Path()).size(), static_cast<size_t>(cases));
    for (const wchar_t* escape : kEscapes)
        EXPECT_FALSE(Exists(escape)) << escape;
}

// Mutated archives: whatever minizip makes of them, the extractor neither
// crashes nor writes beside the target folder. GLIMRA_FUZZ_CASES and
// GLIMRA_FUZZ_SEED lengthen or vary the run (tests/update/fuzz-extractor.sh).
TEST(HostileArchives, FuzzedArchivesStayInsideTheFolder)
{
    const char* casesText = std::getenv("GLIMRA_FUZZ_CASES");
    const char* seedText = std::getenv("GLIMRA_FUZZ_SEED");
    const int cases = casesText != nullptr ? std::atoi(casesText) : 100;
    std::mt19937 random(seedText != nullptr ? static_cast<unsigned>(std::atoll(seedText)) : 20261207u);

    const std::vector<std::string> seeds{ReadBytes(FixturePath(L"seed-small.zip")), ReadBytes(FixturePath(L"edge.zip")),
                                         ReadBytes(FixturePath(L"hostile-00-parent-backslash.zip"))};
    TempFolder sandbox(L"fuzz");
    const std::wstring archive = sandbox.Path() + L"case.zip";
    const std::wstring outside = sandbox.Path() + L"outside";
    const std::wstring target = outside + L"\\target\\";
    CreateDirectoryW(outside.c_str(), nullptr);
    int opened = 0;
    for (int n = 0; n < cases; ++n) {
        std::string bytes = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0: bytes[at] = static_cast<char>(random()); break;               // a random byte
            case 1: bytes[at] ^= static_cast<char>(1u << (random() % 8)); break;  // a flipped bit
            case 2: bytes.resize(at); break;                                      // truncated
            default: bytes.insert(at, bytes.substr(at, random() % 64)); break;    // a repeated run
            }
        }
        WriteBytes(archive, bytes);
        ZipExtractor extractor;
        if (extractor.Extract(archive, target))
            ++opened;
        ASSERT_TRUE(Children(outside).empty() || Children(outside) == std::vector<std::wstring>{L"target"})
            << "case " << n;
        ASSERT_EQ(Children(sandbox.Path()), (std::vector<std::wstring>{L"case.zip", L"outside"})) << "case " << n;
        for (const wchar_t* escape : kEscapes)
            ASSERT_FALSE(Exists(escape)) << escape;
        RemoveTree(outside);
        CreateDirectoryW(outside.c_str(), nullptr);
    }
    // Most mutations leave the central directory readable: the run reaches the extraction.
    EXPECT_GT(opened, cases / 4);
}

}  // namespace

namespace {

// A junction or link planted in the (user-writable) download folder would send
// this elevated program's writes elsewhere: nothing is written through one. A
// link as a folder level or as the folder itself refuses the entry; a link
// where a file goes is replaced by the file.
TEST(HostileArchives, NothingIsWrittenThroughALink)
{
    const std::wstring base = FixturePath(L"link-base\\");
    const std::wstring target = FixturePath(L"link-target");
    ASSERT_TRUE(GetFileAttributesW((base + L"redirect").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_EQ(ReadBytes(base + L"victim-link.txt"), "victim");

    ZipExtractor extractor;
    ASSERT_TRUE(extractor.Extract(FixturePath(L"links.zip"), base));
    ASSERT_EQ(extractor.Entries().size(), 4u);
    EXPECT_EQ(extractor.Entries()[0].outcome, ZipEntryOutcome::FileWritten);
    EXPECT_EQ(extractor.Entries()[1].outcome, ZipEntryOutcome::NotCreated);
    EXPECT_EQ(extractor.Entries()[2].outcome, ZipEntryOutcome::FileWritten);
    EXPECT_EQ(extractor.Entries()[3].outcome, ZipEntryOutcome::FileWritten);
    EXPECT_EQ(ReadBytes(base + L"victim-link.txt"), "overwritten");

    ASSERT_TRUE(extractor.Extract(FixturePath(L"links.zip"), base + L"redirect\\"));
    for (const ZipEntryRecord& e : extractor.Entries())
        EXPECT_EQ(e.outcome, ZipEntryOutcome::NotCreated) << e.name;

    EXPECT_EQ(Children(target), std::vector<std::wstring>{L"victim.txt"});
    EXPECT_EQ(ReadBytes(target + L"\\victim.txt"), "victim");
    DeleteFileW((base + L"good-before.txt").c_str());
    DeleteFileW((base + L"good-after.txt").c_str());
}

}  // namespace
