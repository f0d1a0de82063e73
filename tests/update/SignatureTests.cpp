#include <gtest/gtest.h>
#include <windows.h>

#include "PackageSignature.h"
#include "TrustedUpdateKeys.h"
#include "UpdateTestSupport.h"

namespace {

// Copies of the signed fixtures that each case may spoil.
class PackageSignatureTest : public ::testing::Test {
protected:
    TempFolder temp{L"signature"};
    const std::wstring package = temp.Path() + L"Software-9.9.9.9.zip";
    const std::wstring signature = package + L".sig";

    void Serve(const std::wstring& fixturePackage, const std::wstring& fixtureSignature)
    {
        WriteBytes(package, ReadBytes(FixturePath(fixturePackage)));
        if (!fixtureSignature.empty())
            WriteBytes(signature, ReadBytes(FixturePath(fixtureSignature)));
    }
    SignatureCheck Check() { return VerifyPackageSignature(package, signature); }
};

TEST_F(PackageSignatureTest, OnlyTheTrustedKeysSignatureOverTheseBytesVerifies)
{
    Serve(L"pkg-a.zip", L"pkg-a.zip.sig");
    EXPECT_EQ(Check(), SignatureCheck::Valid);

    // A changed byte anywhere in the package, or in the signature.
    std::string bytes = ReadBytes(package);
    for (const size_t at : {size_t{0}, bytes.size() / 2, bytes.size() - 1}) {
        std::string flipped = bytes;
        flipped[at] ^= 0x01;
        WriteBytes(package, flipped);
        EXPECT_EQ(Check(), SignatureCheck::Invalid) << at;
    }
    WriteBytes(package, bytes);
    const std::string good = ReadBytes(signature);
    std::string flipped = good;
    flipped[100] ^= 0x80;
    WriteBytes(signature, flipped);
    EXPECT_EQ(Check(), SignatureCheck::Invalid);

    // Truncated or empty signature; truncated package.
    WriteBytes(signature, good.substr(0, good.size() - 1));
    EXPECT_EQ(Check(), SignatureCheck::Invalid);
    WriteBytes(signature, "");
    EXPECT_EQ(Check(), SignatureCheck::Invalid);
    WriteBytes(signature, good);
    WriteBytes(package, bytes.substr(0, bytes.size() - 10));
    EXPECT_EQ(Check(), SignatureCheck::Invalid);
    WriteBytes(package, bytes);
    EXPECT_EQ(Check(), SignatureCheck::Valid);
}

TEST_F(PackageSignatureTest, UnsignedIsMissing)
{
    Serve(L"pkg-a.zip", L"");
    EXPECT_EQ(Check(), SignatureCheck::Missing);
}

TEST_F(PackageSignatureTest, AnotherPackagesSignatureIsInvalid)
{
    Serve(L"pkg-a.zip", L"pkg-b.zip.sig");
    EXPECT_EQ(Check(), SignatureCheck::Invalid);
    Serve(L"pkg-b.zip", L"pkg-b.zip.sig");
    EXPECT_EQ(Check(), SignatureCheck::Valid);
}

TEST_F(PackageSignatureTest, AnUntrustedKeysSignatureIsInvalid)
{
    Serve(L"pkg-a-untrusted.zip", L"pkg-a-untrusted.zip.sig");
    EXPECT_EQ(ReadBytes(package), ReadBytes(FixturePath(L"pkg-a.zip")));
    EXPECT_EQ(Check(), SignatureCheck::Invalid);
}

TEST_F(PackageSignatureTest, AMissingPackageIsUnreadable)
{
    Serve(L"pkg-a.zip", L"pkg-a.zip.sig");
    DeleteFileW(package.c_str());
    EXPECT_EQ(Check(), SignatureCheck::Unreadable);
}

// The committed public half of the release key, as the program decodes it,
// verifies what scripts/sign-update.sh made with the private half.
TEST(ReleaseKey, VerifiesItsCommittedCheckSignature)
{
    EXPECT_EQ(TrustedUpdateKeys().size(), 2u);  // the release key and this build's test key
    EXPECT_EQ(VerifyPackageSignature(DataPath(L"release-key-check.txt"), DataPath(L"release-key-check.txt.sig")),
              SignatureCheck::Valid);
}

}  // namespace
