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
    const SoftwarePackage p = MakeSoftwarePackage(kBase, L"1.0.2.0", L"C:\\data\\Vantrel Glimra Files\\\\temp\\");
    EXPECT_EQ(p.packageName, L"Software-1.0.2.0.zip");
    EXPECT_EQ(p.packageUrl, L"https://updates.test/t51c/software///Software-1.0.2.0.zip");
    EXPECT_EQ(p.signatureUrl, L"https://updates.test/t51c/software///Software-1.0.2.0.zip.sig");
    EXPECT_EQ(p.packagePath, L"C:\\data\\Vantrel Glimra Files\\\\temp\\Software-1.0.2.0.zip");
    EXPECT_EQ(p.signaturePath, L"C:\\data\\Vantrel Glimra Files\\\\temp\\Software-1.0.2.0.zip.sig");
    EXPECT_EQ(p.installerName, L"Software-1.0.2.0.exe");
    EXPECT_EQ(p.installerPath, L"C:\\data\\Vantrel Glimra Files\\\\temp\\Software-1.0.2.0.exe");
}

// Command 7 against a "server" of fixture files: each URL maps to a file that
// the download copies, or to nothing (a failed download).
class InstallSoftwareUpdateTest : public ::testing::Test {
protected:
    TempFolder temp{L"install"};
    const SoftwarePackage package =
        MakeSoftwarePackage(kBase, L"9.9.9.9", temp.Path() + L"Vantrel Glimra Files\\\\temp\\");
    std::map<std::wstring, std::wstring> served;
    std::vector<std::wstring> told;
    std::vector<std::wstring> launched;
    bool launchSucceeds = true;
    int ended = 0;

    void Serve(const std::wstring& zip, const std::wstring& sig)
    {
        served[package.packageUrl] = zip;
        if (!sig.empty())
            served[package.signatureUrl] = sig;
    }

    SoftwareUpdateResult Run()
    {
        SoftwareUpdateActions actions;
        actions.download = [this](const std::wstring& url, const std::wstring& path) {
            const auto it = served.find(url);
            return it != served.end() && CopyFileW(FixturePath(it->second).c_str(), path.c_str(), FALSE);
        };
        actions.tell = [this](const std::wstring& text) { told.push_back(text); };
        actions.launch = [this](const std::wstring& path) {
            launched.push_back(path);
            return launchSucceeds;
        };
        actions.endProgram = [this] { ++ended; };
        return InstallSoftwareUpdate(package, actions);
    }

    // Nothing of the package is left; the installer is there only if expected.
    void ExpectLeftovers(bool installer)
    {
        EXPECT_FALSE(Exists(package.packagePath));
        EXPECT_FALSE(Exists(package.signaturePath));
        EXPECT_EQ(Exists(package.installerPath), installer);
    }
};

TEST_F(InstallSoftwareUpdateTest, ASignedPackageIsExtractedItsInstallerStartedAndTheProgramEnds)
{
    Serve(L"pkg-a.zip", L"pkg-a.zip.sig");
    EXPECT_EQ(Run(), SoftwareUpdateResult::InstallerStarted);
    EXPECT_EQ(launched, std::vector<std::wstring>{package.installerPath});
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(told.empty());
    ExpectLeftovers(true);
    EXPECT_EQ(ReadBytes(package.installerPath).substr(0, 12), "MZ installer");
    EXPECT_TRUE(Exists(package.folder + L"docs\\readme.txt"));
}

TEST_F(InstallSoftwareUpdateTest, RefusedPackagesAreDeletedUnopenedAndTheUserIsTold)
{
    const struct {
        const wchar_t* zip;
        const wchar_t* sig;
    } refused[] = {
        {L"pkg-a.zip", L""},                         // unsigned
        {L"pkg-a.zip", L"pkg-b.zip.sig"},            // swapped
        {L"pkg-a-untrusted.zip", L"pkg-a-untrusted.zip.sig"},  // wrong key
        {L"pkg-a-truncated.zip", L"pkg-a.zip.sig"},            // a download cut short
        {L"hostile-00-parent-backslash.zip", L"pkg-a.zip.sig"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.zip + std::wstring(L" ") + r.sig);
        served.clear();
        told.clear();
        Serve(r.zip, r.sig);
        EXPECT_EQ(Run(), SoftwareUpdateResult::NotVerified);
        EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNotVerifiedText});
        ExpectLeftovers(false);
        EXPECT_EQ(Children(package.folder.substr(0, package.folder.size() - 1)), std::vector<std::wstring>{});
    }
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(ended, 0);
}

TEST_F(InstallSoftwareUpdateTest, AFailedDownloadIsToldAndTheProgramGoesOn)
{
    EXPECT_EQ(Run(), SoftwareUpdateResult::DownloadFailed);
    EXPECT_EQ(told, std::vector<std::wstring>{kUpdateDownloadFailedText});
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(ended, 0);
    ExpectLeftovers(false);
    EXPECT_TRUE(GetFileAttributesW(package.folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(InstallSoftwareUpdateTest, WithoutAFreshInstallerNothingStarts)
{
    // An installer left from an earlier attempt is not taken for this one's.
    ASSERT_TRUE(CreateDirectoryW((temp.Path() + L"Vantrel Glimra Files").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(package.folder.c_str(), nullptr));
    WriteBytes(package.installerPath, "MZ stale");
    Serve(L"pkg-no-installer.zip", L"pkg-no-installer.zip.sig");
    EXPECT_EQ(Run(), SoftwareUpdateResult::NoInstaller);
    EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNoInstallerText});

    told.clear();
    Serve(L"pkg-not-a-zip.zip", L"pkg-not-a-zip.zip.sig");
    EXPECT_EQ(Run(), SoftwareUpdateResult::NotExtracted);
    EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNotUnpackedText});
    ExpectLeftovers(true);

    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(ended, 0);
}

TEST_F(InstallSoftwareUpdateTest, AnInstallerThatDoesNotStartIsToldAndTheProgramGoesOn)
{
    Serve(L"pkg-a.zip", L"pkg-a.zip.sig");
    launchSucceeds = false;
    EXPECT_EQ(Run(), SoftwareUpdateResult::InstallerNotStarted);
    EXPECT_EQ(launched.size(), 1u);
    EXPECT_EQ(told, std::vector<std::wstring>{kUpdateNotStartedText});
    EXPECT_EQ(ended, 0);
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
