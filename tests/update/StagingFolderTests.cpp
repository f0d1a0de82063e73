// The staging folder: the descriptor it is made with (Wine keeps no ACLs, so
// the descriptor is checked as built, not read back), the rule that judges an
// existing folder's descriptor, and refusals through real planted folders and
// links: nothing in them is deleted or written.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "SecurityRules.h"
#include "StagingFolder.h"
#include "UniqueResource.h"
#include "UpdateTestSupport.h"

namespace {

UniqueLocalMemory Descriptor(const wchar_t* sddl)
{
    UniqueLocalMemory descriptor;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(), nullptr))
        << sddl;
    return descriptor;
}

TEST(StagingFolder, IsMadeWithAProtectedDaclForSystemAndAdministratorsOnly)
{
    UniqueLocalMemory built = Descriptor(kStagingFolderSddl);
    ASSERT_TRUE(built);
    wchar_t* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        built.get(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
    UniqueLocalMemory owned(text);
    EXPECT_STREQ(text, L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");

    const struct {
        const wchar_t* sddl;
        bool trusted;
    } cases[] = {
        {kStagingFolderSddl, true},
        {L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
        {L"O:BAD:P(D;OICI;FA;;;WD)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},  // denying is fine
        {L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},                   // inherits from its parent
        {L"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},                  // owned by Users
        {L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false}, // owned by a user
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", false},
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", false},
        {L"O:BAD:P(A;OICI;GW;;;AU)(A;OICI;FA;;;BA)", false},
        {L"O:BAD:NO_ACCESS_CONTROL", false},  // a null DACL lets everyone in
        {L"O:BA", false},                     // no DACL at all
        {L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},  // no owner
    };
    for (const auto& c : cases) {
        UniqueLocalMemory descriptor = Descriptor(c.sddl);
        EXPECT_EQ(IsAdministratorsOnly(descriptor.get()), c.trusted) << c.sddl;
    }
    EXPECT_FALSE(IsAdministratorsOnly(nullptr));
}

TEST(StagingFolder, AFreshFolderIsHeldAndRemovedWithWhatIsInIt)
{
    TempFolder temp(L"staging");
    const std::wstring path = temp.Path() + L"Vantrel Glimra Update\\";
    {
        StagingFolder staging(path);
        ASSERT_TRUE(staging.Ready());
        ASSERT_TRUE(CreateDirectoryW((path + L"docs").c_str(), nullptr));
        WriteBytes(path + L"docs\\readme.txt", "readme");
        WriteBytes(path + L"Software-9.9.9.9.exe", "MZ");
        // Held: it cannot be moved aside and replaced by another.
        EXPECT_FALSE(MoveFileW(path.c_str(), (temp.Path() + L"aside").c_str()));
        staging.Remove();
        EXPECT_FALSE(staging.Ready());
    }
    EXPECT_FALSE(Exists(path));
    // Without its parent nothing is made.
    EXPECT_FALSE(StagingFolder(temp.Path() + L"no such parent\\staging\\").Ready());
}

// Wine reads back a descriptor made up from the Unix mode bits with the
// prefix user as owner, so any folder that exists is refused here; on Windows
// the folder planted by a normal process is owned by that user: refused too.
TEST(StagingFolder, APlantedFolderOrLinkIsRefusedAndNothingInItIsTouched)
{
    TempFolder temp(L"planted");
    const std::wstring planted = temp.Path() + L"Vantrel Glimra Update\\";
    ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr));
    WriteBytes(planted + L"Software-9.9.9.9.exe", "MZ planted");
    EXPECT_FALSE(StagingFolder(planted).Ready());
    EXPECT_EQ(ReadBytes(planted + L"Software-9.9.9.9.exe"), "MZ planted");

    // A link (a host symbolic link, a reparse point to Wine) where the folder goes.
    const std::wstring link = FixturePath(L"link-base\\redirect");
    ASSERT_TRUE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_FALSE(StagingFolder(link + L"\\").Ready());
    EXPECT_EQ(Children(FixturePath(L"link-target")), std::vector<std::wstring>{L"victim.txt"});
    EXPECT_EQ(ReadBytes(FixturePath(L"link-target\\victim.txt")), "victim");
}

}  // namespace
