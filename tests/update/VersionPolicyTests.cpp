// The update decisions: version comparison, the version file's acceptance and
// the firmware classification with its hexadecimal-read-as-decimal number.
#include <gtest/gtest.h>

#include <string>

#include "VersionPolicy.h"

namespace {

struct Comparison {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
};

TEST(VersionPolicy, CompareVersionsByPartsAndPartCount)
{
    const Comparison cases[] = {
        {L"1.0.1.9", L"1.0.1.10", 1},  // numeric, not textual
        {L"1.0.1.9", L"1.0.2", 2},     // fewer parts
        {L"1.0.1.9", L"1.0.1.9", 0},
        {L"1.0.2.0", L"1.0.1.9", -1},
        {L"1.0.1.9", L"1.0.2.0", 1},
        {L"1.0.1.9", L"2.0.0.0", 1},
        {L"1.0.1.9", L"0.9.9.9", -1},
        {L"", L"", 0},                 // one empty part each
        {L"", L"1", 1},
        {L"1..2", L"1.0.2", 0},        // empty parts count, and read as 0
        {L"1.2", L"1.2.", 2},
        {L"1.0.1.9", L"1.0.1.9a", 0},  // leading digits only
        {L"1.0.1.9", L"1.0.1.x", -1},  // no digits reads as 0
        {L"1.0.1.9", L"vNot Found", 2},
    };
    for (const Comparison& c : cases)
        EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << std::wstring(c.a).size() << ": " << c.expected;
}

struct Judgement {
    const wchar_t* offered;
    SoftwareVerdict expected;
};

TEST(VersionPolicy, VersionFileIsJudgedByLengthThenComparison)
{
    const Judgement cases[] = {
        {L"1.0.2.0", SoftwareVerdict::Available},
        {L"1.0.1.9", SoftwareVerdict::Latest},
        {L"1.0.1.8", SoftwareVerdict::Latest},
        {L"1.0.2", SoftwareVerdict::Rejected},        // three numbers are no release
        {L"1.0.2.0.0", SoftwareVerdict::Rejected},    // nor are five
        {L"", SoftwareVerdict::Rejected},
        {L"1.0.10.100", SoftwareVerdict::Available},  // exactly 10 characters
        {L"1.0.10.1000", SoftwareVerdict::Rejected},  // 11
        {L"1.0.2.0\n", SoftwareVerdict::Available},   // trimmed
        {L" 1.0.2.0\r\n", SoftwareVerdict::Available},
        {L"\\..\\..\\", SoftwareVerdict::Rejected},
        {L"abc", SoftwareVerdict::Rejected},
        {L"1.0.-2.0", SoftwareVerdict::Rejected},
        {L"1.0.65536.0", SoftwareVerdict::Rejected},  // above the resource's 16-bit field
        {L"<html><body>404</body></html>", SoftwareVerdict::Rejected},
    };
    for (const Judgement& c : cases)
        EXPECT_EQ(JudgeSoftwareVersion(L"1.0.1.9", c.offered), c.expected) << std::wstring(c.offered).size();
    // A NUL inside the text, not only at its end.
    EXPECT_EQ(JudgeSoftwareVersion(L"1.0.1.9", std::wstring(L"1.0.2.0\0x", 9)), SoftwareVerdict::Rejected);
}

struct Firmware {
    int raw;
    const wchar_t* hex;
    int number;
    FirmwareVerdict expected;
};

TEST(VersionPolicy, FirmwareVersionReadsItsHexTextAsDecimalAndClassifies)
{
    const Firmware cases[] = {
        {0x00, L"0", 0, FirmwareVerdict::UpgradeFromZero},
        {0x01, L"1", 1, FirmwareVerdict::OldBand},
        {0x05, L"5", 5, FirmwareVerdict::OldBand},
        {0x08, L"8", 8, FirmwareVerdict::OldBand},
        {0x09, L"9", 9, FirmwareVerdict::Upgrade},
        {0x0A, L"a", 0, FirmwareVerdict::UpgradeFromZero},  // a letter first reads as 0
        {0x0F, L"f", 0, FirmwareVerdict::UpgradeFromZero},
        {0x10, L"10", 10, FirmwareVerdict::Upgrade},
        {0x11, L"11", 11, FirmwareVerdict::Upgrade},
        {0x12, L"12", 12, FirmwareVerdict::Upgrade},
        {0x13, L"13", 13, FirmwareVerdict::Latest},
        {0x14, L"14", 14, FirmwareVerdict::Latest},
        {0x1A, L"1a", 1, FirmwareVerdict::OldBand},          // leading digits only
        {0x20, L"20", 20, FirmwareVerdict::Latest},
        {-1, L"ffffffff", 0, FirmwareVerdict::UpgradeFromZero},  // nothing read
        {0xFD00, L"fd00", 0, FirmwareVerdict::UpgradeFromZero},  // a failed read's value
    };
    for (const Firmware& c : cases) {
        EXPECT_EQ(FirmwareHexText(c.raw), c.hex) << c.raw;
        EXPECT_EQ(FirmwareVersionNumber(c.raw), c.number) << c.raw;
        EXPECT_EQ(ClassifyFirmware(c.raw, kTargetFirmwareVersion), c.expected) << c.raw;
    }
}

}  // namespace
