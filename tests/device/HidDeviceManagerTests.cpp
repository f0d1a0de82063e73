#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "DeviceTestSupport.h"

using namespace vcooler;

namespace {

std::array<unsigned char, 65> DisplayReport(unsigned char h, unsigned char t, unsigned char u)
{
    std::array<unsigned char, 65> r{};
    r[0] = 0x07;
    r[1] = 0xFF;
    r[2] = 0xFF;
    r[3] = h;
    r[4] = t;
    r[5] = u;
    return r;
}

std::vector<LogEntry> Entries(VCoolerControl& control, LogKind kind, int cooler = -1)
{
    std::vector<LogEntry> out;
    for (const LogEntry& e : control.ReadLog()) {
        if (e.kind == kind && (cooler < 0 || e.cooler == cooler))
            out.push_back(e);
    }
    return out;
}

TEST(HidDeviceManager, TwoCoolersBothReceiveEveryReport)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(coolers.Plug(), 1);
    ASSERT_EQ(OpenCoolers(), 2u);

    auto report = DisplayReport(0, 4, 5);
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(report.data(), report.size()));
    for (int i = 0; i < 2; ++i) {
        const DisplayState d = coolers.ReadDisplay(i);
        EXPECT_TRUE(d.lit);
        EXPECT_EQ(std::vector<int>(d.digits, d.digits + 3), std::vector<int>({0, 4, 5})) << "cooler " << i;
        EXPECT_EQ(Entries(coolers, LogKind::SendFeature, i).size(), 1u);
    }
}

TEST(HidDeviceManager, MultiCollectionCoolerContributesOnlyItsDisplayCollection)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);  // consumer control, display, second vendor collection
    ASSERT_EQ(OpenCoolers(), 1u);
    EXPECT_NE(std::string(HidDeviceManager::Instance().Entry(0).Path()).find("&col02#"), std::string::npos);
    EXPECT_EQ(HidDeviceManager::Instance().Entry(0).VendorId(), DefaultCooler().vendorId);
    EXPECT_EQ(HidDeviceManager::Instance().Entry(0).ProductId(), DefaultCooler().productId);
    EXPECT_EQ(Entries(coolers, LogKind::Open).size(), 3u) << "every matching collection is opened, the others closed again";
}

TEST(HidDeviceManager, CollectionHeldByAnotherProgramIsSkipped)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(coolers.Plug(), 1);
    ASSERT_TRUE(coolers.SetCollectionBusy(0, 1, true));
    ASSERT_EQ(OpenCoolers(), 1u);

    auto report = DisplayReport(0, 6, 1);
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(report.data(), report.size()));
    EXPECT_FALSE(coolers.ReadDisplay(0).lit);
    EXPECT_TRUE(coolers.ReadDisplay(1).lit);
}

TEST(HidDeviceManager, OtherVendorsDevicesAreNotOpened)
{
    VCoolerControl& coolers = FreshCoolers();
    CoolerConfig other;
    other.vendorId = 0x046D;
    other.productId = 0xC52B;
    other.collections = {{0xFF01, 1, 0}};
    ASSERT_EQ(coolers.Plug(other), 0);
    CoolerConfig otherProduct;
    otherProduct.productId = 0x434E;
    ASSERT_EQ(coolers.Plug(otherProduct), 1);
    EXPECT_EQ(OpenCoolers(), 0u);
    EXPECT_TRUE(Entries(coolers, LogKind::Open).empty());
}

TEST(HidDeviceManager, LongDevicePathIsCutToTheEntryField)
{
    VCoolerControl& coolers = FreshCoolers();
    CoolerConfig config;
    config.pathPadding = 1500;
    ASSERT_EQ(coolers.Plug(config), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    const HidDeviceEntry& entry = HidDeviceManager::Instance().Entry(0);
    EXPECT_EQ(strlen(entry.Path()), HidDeviceEntry::kPathSize - 1);
    const std::string start = "\\\\?\\hid#vid_1a2c&pid_434d&col02#";
    EXPECT_EQ(std::string(entry.Path(), start.size()), start);
    auto report = DisplayReport(0, 3, 3);
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(report.data(), report.size())) << "the handle is what is used";
}

TEST(HidDeviceManager, SendCopiesAtMost64CallerBytesIntoA65ByteReport)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    std::array<unsigned char, 80> big;
    big.fill(0xAB);
    big[0] = 0x07;
    big[1] = 0x10;  // a report the cooler stores and ignores
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(big.data(), 65));
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(big.data(), 200));

    const std::vector<LogEntry> sent = Entries(coolers, LogKind::SendFeature);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].length, 65);
    EXPECT_EQ(sent[0].data[63], 0xAB);
    EXPECT_EQ(sent[0].data[64], 0x00);
    EXPECT_EQ(sent[1].length, 65) << "never more than the 65-byte copy";

    const unsigned char shortReport[6] = {0x07, 0xFF, 0xFF, 0, 2, 7};
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(shortReport, sizeof(shortReport)));
    const DisplayState d = coolers.ReadDisplay(0);
    EXPECT_EQ(std::vector<int>(d.digits, d.digits + 3), std::vector<int>({0, 2, 7}));
}

TEST(HidDeviceManager, SendIsRefusedWhileTheListIsClosed)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    HidDeviceManager& hid = HidDeviceManager::Instance();
    hid.AddFilter(DefaultCooler().vendorId, DefaultCooler().productId, L"", 1);
    hid.OpenAll();
    ASSERT_EQ(hid.DeviceCount(), 1u);
    auto report = DisplayReport(0, 1, 1);
    EXPECT_FALSE(hid.SendFeature(report.data(), report.size()));
    int version = 77;
    EXPECT_FALSE(hid.ReadFirmwareVersion(version));
    EXPECT_EQ(version, 77);
    EXPECT_TRUE(Entries(coolers, LogKind::SendFeature).empty());
    hid.SetListOpen();
    hid.CloseAll();
    EXPECT_EQ(hid.DeviceCount(), 0u);
    EXPECT_FALSE(hid.SendFeature(report.data(), report.size()));
}

TEST(HidDeviceManager, SendResultIsThatOfTheLastDevice)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(coolers.Plug(), 1);
    ASSERT_EQ(OpenCoolers(), 2u);
    auto report = DisplayReport(0, 5, 0);
    coolers.SetFault(1, Fault::FailSends, 1);
    EXPECT_FALSE(HidDeviceManager::Instance().SendFeature(report.data(), report.size()));
    EXPECT_TRUE(coolers.ReadDisplay(0).lit) << "the first cooler still got it";
    coolers.SetFault(0, Fault::FailSends, 1);
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(report.data(), report.size()));
}

TEST(ReadFirmwareVersion, ReadsTheFirstCoolersVersion)
{
    VCoolerControl& coolers = FreshCoolers();
    CoolerConfig first;
    first.firmwareVersion = 0x13;
    CoolerConfig second;
    second.firmwareVersion = 0x09;
    ASSERT_EQ(coolers.Plug(first), 0);
    ASSERT_EQ(coolers.Plug(second), 1);
    ASSERT_EQ(OpenCoolers(), 2u);
    int version = -1;
    ASSERT_TRUE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 19);

    const std::vector<LogEntry> sent = Entries(coolers, LogKind::SendFeature, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].length, 64);
    EXPECT_EQ(sent[0].data[0], 0x07);
    EXPECT_EQ(sent[0].data[1], 0xFD);
    EXPECT_TRUE(Entries(coolers, LogKind::SendFeature, 1).empty());
    EXPECT_EQ(Entries(coolers, LogKind::GetFeature, 0).size(), 1u);
}

TEST(ReadFirmwareVersion, RereadsOnceAfterAnotherReportId)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    coolers.SetFault(0, Fault::WrongIdReads, 1);
    int version = -1;
    ASSERT_TRUE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0x13);
    EXPECT_EQ(Entries(coolers, LogKind::GetFeature).size(), 2u);
}

TEST(ReadFirmwareVersion, NoVersionReportAfterTheRereadIsAFailure)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    coolers.SetFault(0, Fault::WrongIdReads, 2);
    int version = 1234;
    EXPECT_FALSE(HidDeviceManager::Instance().ReadFirmwareVersion(version)) << "not version 0";
    EXPECT_EQ(version, 1234);
    EXPECT_EQ(Entries(coolers, LogKind::GetFeature).size(), 2u) << "only one re-read";

    coolers.SetFault(0, Fault::FailReads, 2);
    EXPECT_FALSE(HidDeviceManager::Instance().ReadFirmwareVersion(version)) << "not 0xFD00";
    EXPECT_EQ(version, 1234);

    coolers.SetFault(0, Fault::FailReads, 1);  // one failed read is read again
    EXPECT_TRUE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0x13);
}

TEST(ReadFirmwareVersion, FailedSendLeavesTheValueUntouched)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    coolers.SetFault(0, Fault::FailSends, 1);
    int version = 1234;
    EXPECT_FALSE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 1234);
    EXPECT_TRUE(Entries(coolers, LogKind::GetFeature).empty());
}

TEST(ReadFirmwareVersion, NoDeviceIsAFailure)
{
    FreshCoolers();
    ASSERT_EQ(OpenCoolers(), 0u);
    int version = 5;
    EXPECT_FALSE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 5);
}

TEST(ReadFirmwareVersion, CoolerUnpluggedBetweenRequestAndAnswer)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    coolers.SetFault(0, Fault::UnplugAfterOps, 1);  // the send goes through, the read finds no device
    int version = -1;
    EXPECT_FALSE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, -1);
    EXPECT_FALSE(coolers.ReadDisplay(0).plugged);
}

}  // namespace
