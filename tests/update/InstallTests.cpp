#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "SoftwarePackage.h"
#include "SoftwareUpdate.h"
#include "UpdateTestSupport.h"

namespace {

constexpr wchar_t kBase[] = L"https://updates.test/t51c/software/";

TEST(SoftwarePackage, NamesAndPlaces)
{
    const SoftwarePackage p = MakeSoftwarePackage(kBase, L"1.0.2.0\r\n", L"C:\\ProgramData\\Vantrel Glimra Update\\");
    EXPECT_EQ(p.version, L"1.0.2.0");
    EXPECT_EQ(p.recordUrl, L"https://updates.test/t51c/software/release");
    EXPECT_EQ(p.recordSignatureUrl, L"https://updates.test/t51c/software/release.sig");
    EXPECT_EQ(p.packageName, L"Software-1.0.2.0.zip");
    EXPECT_EQ(p.packageUrl, L"https://updates.test/t51c/software///Software-1.0.2.0.zip");
    EXPECT_EQ(p.recordPath, L"C:\\ProgramData\\Vantrel Glimra Update\\release");
    EXPECT_EQ(p.recordSignaturePath, L"C:\\ProgramData\\Vantrel Glimra Update\\release.sig");
    EXPECT_EQ(p.packagePath, L"C:\\ProgramData\\Vantrel Glimra Update\\Software-1.0.2.0.zip");
    EXPECT_EQ(p.installerName, L"Software-1.0.2.0.exe");
    EXPECT_EQ(p.installerPath, L"C:\\ProgramData\\Vantrel Glimra Update\\Software-1.0.2.0.exe");
}

// Command 7 against a "server" of fixture files: each URL maps to a file that
// the download copies (refused, like the HTTP client, when it is over the
// cap), or to nothing (a failed download). The running program is 5.0.0.0
// and 9.9.9.9 is offered.
class InstallSoftwareUpdateTest : public ::testing::Test {
protected:
    TempFolder temp{L"install"};
    SoftwarePackage package = Package(L"9.9.9.9");
    std::map<std::wstring, std::wstring> served;
    std::vector<std::wstring> told;
    std::vector<std::wstring> launched;
    bool launchSucceeds = true;
    int ended = 0;

    SoftwarePackage Package(const wchar_t* offered)
    {
        SoftwarePackage p = MakeSoftwarePackage(kBase, offered, temp.Path() + L"staging\\");
        p.currentVersion = L"5.0.0.0";
        return p;
    }

    void Serve(const std::wstring& record, const std::wstring& sig, const std::wstring& zip = L"pkg-a.zip")
    {
        served.clear();
        served[package.recordUrl] = record;
        if (!sig.empty())
            served[package.recordSignatureUrl] = sig;
        served[package.packageUrl] = zip;
    }

    SoftwareUpdateResult Run()
    {
        SoftwareUpdateActions actions;
        actions.download = [this](const std::wstring& url, const std::wstring& path, uint64_t maxBytes) {
            const auto it = served.find(url);
            return it != served.end() && ReadBytes(FixturePath(it->second)).size() <= maxBytes &&
                   CopyFileW(FixturePath(it->second).c_str(), path.c_str(), TRUE);
        };
        actions.tell = [this](const std::wstring& text) { told.push_back(text); };
        actions.launch = [this](const std::wstring& path) {
            launched.push_back(path);
            // Started while held: nobody can change or remove it, anyone can read it.
            EXPECT_FALSE(DeleteFileW(path.c_str()));
            EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                        nullptr, OPEN_EXISTING, 0, nullptr));
            EXPECT_EQ(ReadBytes(path).substr(0, 12), "MZ installer");
            return launchSucceeds;
        };
        actions.endProgram = [this] { ++ended; };
        return InstallSoftwareUpdate(package, actions);
    }
};

TEST_F(InstallSoftwareUpdateTest, ASignedNewerReleaseIsCheckedExtractedItsInstallerStartedAndTheProgramEnds)
{
    Serve(L"rec-good.txt", L"rec-good.txt.sig");
    EXPECT_EQ(Run(), SoftwareUpdateResult::InstallerStarted);
    EXPECT_EQ(launched, std::vector<std::wstring>{package.installerPath});
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(told.empty());
    EXPECT_TRUE(Exists(package.folder + L"docs\\readme.txt"));
}

struct Refusal {
    const wchar_t* record;
    const wchar_t* signature;
    const wchar_t* package;
    SoftwareUpdateResult result;
    const wchar_t* text;
};

TEST_F(InstallSoftwareUpdateTest, EveryOtherReleaseIsRefusedNothingStartsAndTheFolderGoes)
{
    const Refusal refusals[] = {
        {L"rec-unsigned.txt", L"", L"pkg-a.zip", SoftwareUpdateResult::NotVerified, kUpdateNotVerifiedText},
        {L"rec-untrusted.txt", L"rec-untrusted.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotVerified,
         kUpdateNotVerifiedText},
        {L"rec-good.txt", L"rec-older.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotVerified,
         kUpdateNotVerifiedText},  // another record's signature
        {L"rec-older.txt", L"rec-older.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer, kUpdateNotNewerText},
        {L"rec-equal.txt", L"rec-equal.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer, kUpdateNotNewerText},
        {L"rec-other-product.txt", L"rec-other-product.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},
        {L"rec-other-version.txt", L"rec-other-version.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},  // newer, but not what was offered
        {L"rec-short.txt", L"rec-short.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::DownloadFailed,
         kUpdateDownloadFailedText},  // the package is longer than the record says
        {L"rec-bad-hash.txt", L"rec-bad-hash.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotVerified,
         kUpdateNotVerifiedText},
        {L"rec-good.txt", L"rec-good.txt.sig", L"pkg-a-truncated.zip", SoftwareUpdateResult::NotVerified,
         kUpdateNotVerifiedText},  // shorter than the record says
        {L"rec-good.txt", L"rec-good.txt.sig", L"pkg-b.zip", SoftwareUpdateResult::NotVerified,
         kUpdateNotVerifiedText},  // another package
        {L"rec-bad-installer-hash.txt", L"rec-bad-installer-hash.txt.sig", L"pkg-a.zip",
         SoftwareUpdateResult::NotVerified, kUpdateNotVerifiedText},
        {L"rec-version-dots.txt", L"rec-version-dots.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},
        {L"rec-version-newline.txt", L"rec-version-newline.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},
        {L"rec-version-nul.txt", L"rec-version-nul.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},
        {L"rec-version-abc.txt", L"rec-version-abc.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},
        {L"rec-version-five.txt", L"rec-version-five.txt.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},
        {L"pkg-a.zip", L"pkg-a.zip.sig", L"pkg-a.zip", SoftwareUpdateResult::NotNewer,
         kUpdateNotNewerText},  // signed, but no record
        {L"missing.txt", L"", L"pkg-a.zip", SoftwareUpdateResult::DownloadFailed, kUpdateDownloadFailedText},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(std::wstring(r.record) + L" " + r.signature + L" " + r.package);
        told.clear();
        Serve(r.record, r.signature, r.package);
        EXPECT_EQ(Run(), r.result);
        EXPECT_EQ(told, std::vector<std::wstring>{r.text});
        EXPECT_FALSE(Exists(package.folder)) << "the staging folder was left";
    }
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(ended, 0);
}

TEST_F(InstallSoftwareUpdateTest, OfferedTextsThatAreNoReleaseVersionNameNothing)
{
    for (const wchar_t* offered : {L"\\..\\..\\", L"abc", L"9.9.9.9.9", L""}) {
        told.clear();
        package = Package(offered);
        Serve(L"rec-good.txt", L"rec-good.txt.sig");
        EXPECT_EQ(Run(), SoftwareUpdateResult::NotNewer);
        EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNotNewerText});
        EXPECT_FALSE(Exists(package.folder));
    }
    package = Package(L"9.9.9.9");
    package.folder.clear();  // no program data folder
    told.clear();
    EXPECT_EQ(Run(), SoftwareUpdateResult::StagingRefused);
    EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNotPreparedText});
    EXPECT_TRUE(launched.empty());
}

TEST_F(InstallSoftwareUpdateTest, WithoutAnInstallerOrAnArchiveNothingStarts)
{
    // Signed records of a package without the installer and of one that is no archive.
    Serve(L"rec-no-installer.txt", L"rec-no-installer.txt.sig", L"pkg-no-installer.zip");
    EXPECT_EQ(Run(), SoftwareUpdateResult::NoInstaller);
    Serve(L"rec-not-a-zip.txt", L"rec-not-a-zip.txt.sig", L"pkg-not-a-zip.zip");
    EXPECT_EQ(Run(), SoftwareUpdateResult::NotExtracted);
    EXPECT_EQ(told, std::vector<std::wstring>({kUpdateNoInstallerText, kUpdateNotUnpackedText}));
    EXPECT_FALSE(Exists(package.folder));
    EXPECT_TRUE(launched.empty());
}

TEST_F(InstallSoftwareUpdateTest, AnInstallerThatDoesNotStartIsToldAndTheProgramGoesOn)
{
    Serve(L"rec-good.txt", L"rec-good.txt.sig");
    launchSucceeds = false;
    EXPECT_EQ(Run(), SoftwareUpdateResult::InstallerNotStarted);
    EXPECT_EQ(launched.size(), 1u);
    EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNotStartedText});
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(Exists(package.folder));
}

TEST(LaunchInstaller, StartsAProgramAndReportsAMissingOne)
{
    TempFolder temp(L"launch");
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring program = temp.Path() + L"Software-9.9.9.9.exe";
    ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\hostname.exe").c_str(), program.c_str(), FALSE));
    EXPECT_TRUE(LaunchInstaller(program));
    EXPECT_FALSE(LaunchInstaller(temp.Path() + L"missing.exe"));
}

}  // namespace
