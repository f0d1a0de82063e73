// The hwmon mapping against fake sysfs trees in a temp folder.
#include <gtest/gtest.h>

#include "HwmonSource.h"
#include "SensorTestSupport.h"

namespace {

const HwmonSource::Names kNames{"Test CPU 9000", "Test Board X1"};

TEST(HwmonTree, IntelDesktopWithRadeonAndSuperIo)
{
    TempFolder t;
    t.Write(L"hwmon0\\name", "coretemp\n");
    t.Write(L"hwmon0\\temp1_label", "Package id 0\n");
    t.Write(L"hwmon0\\temp1_input", "52000\n");
    t.Write(L"hwmon0\\temp2_label", "Core 0\n");
    t.Write(L"hwmon0\\temp2_input", "49000\n");
    t.Write(L"hwmon1\\name", "amdgpu\n");
    t.Write(L"hwmon1\\temp1_label", "edge\n");
    t.Write(L"hwmon1\\temp1_input", "47000\n");
    t.Write(L"hwmon1\\temp2_label", "junction\n");
    t.Write(L"hwmon1\\temp2_input", "55000\n");
    t.Write(L"hwmon1\\device\\product_name", "AMD Radeon RX 6600\n");
    t.Write(L"hwmon1\\device\\gpu_busy_percent", "17\n");
    t.Write(L"hwmon2\\name", "nct6798\n");
    t.Write(L"hwmon2\\temp1_label", "SYSTIN\n");
    t.Write(L"hwmon2\\temp1_input", "33500\n");
    t.Write(L"hwmon2\\temp2_label", "CPUTIN\n");
    t.Write(L"hwmon2\\temp2_input", "45000\n");
    t.Write(L"hwmon3\\name", "acpitz\n");
    t.Write(L"hwmon3\\temp1_input", "27800\n");

    SensorDeviceSet set;
    EXPECT_EQ(HwmonSource::Scan(t.Path(), kNames, set), 4);
    const auto& d = set.Devices();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].name, "Test CPU 9000");
    const SensorValue* pkg = set.Find(kKindTemperature, 0, 0);
    ASSERT_NE(pkg, nullptr);
    EXPECT_EQ(pkg->label, "CPU Package");
    EXPECT_EQ(pkg->hwClass, kClassCpu);
    EXPECT_DOUBLE_EQ(pkg->value, 52.0);
    EXPECT_EQ(set.Find(kKindTemperature, 0, 1), nullptr);  // cores are not mapped

    EXPECT_EQ(d[1].name, "AMD Radeon RX 6600");
    EXPECT_EQ(set.Find(kKindTemperature, 1, 0)->label, "GPU Temperature");
    EXPECT_EQ(set.Find(kKindTemperature, 1, 0)->hwClass, kClassGpu);
    EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, 1, 0)->value, 47.0);
    EXPECT_EQ(set.Find(kKindLoad, 1, 0)->label, "GPU Utilization");
    EXPECT_DOUBLE_EQ(set.Find(kKindLoad, 1, 0)->value, 17.0);

    EXPECT_EQ(d[2].name, "Test Board X1");
    EXPECT_EQ(set.Find(kKindTemperature, 2, 0)->label, "Motherboard");
    EXPECT_EQ(set.Find(kKindTemperature, 2, 0)->hwClass, kClassBoard);
    EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, 2, 0)->value, 33.5);
}

TEST(HwmonTree, AmdPrefersTdieOverTctl)
{
    TempFolder t;
    t.Write(L"hwmon0\\name", "k10temp\n");
    t.Write(L"hwmon0\\temp1_label", "Tctl\n");
    t.Write(L"hwmon0\\temp1_input", "70000\n");
    t.Write(L"hwmon0\\temp2_label", "Tdie\n");
    t.Write(L"hwmon0\\temp2_input", "60125\n");
    SensorDeviceSet set;
    EXPECT_EQ(HwmonSource::Scan(t.Path(), kNames, set), 1);
    ASSERT_NE(set.Find(kKindTemperature, 0, 0), nullptr);
    EXPECT_EQ(set.Find(kKindTemperature, 0, 0)->label, "CPU (Tctl/Tdie)");
    EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, 0, 0)->value, 60.125);
}

TEST(HwmonTree, AmdTctlAlone)
{
    TempFolder t;
    t.Write(L"hwmon4\\name", "k10temp\n");
    t.Write(L"hwmon4\\temp1_label", "Tctl\n");
    t.Write(L"hwmon4\\temp1_input", "70000\n");
    t.Write(L"hwmon4\\temp3_label", "Tccd1\n");
    t.Write(L"hwmon4\\temp3_input", "66000\n");
    SensorDeviceSet set;
    HwmonSource::Scan(t.Path(), kNames, set);
    ASSERT_NE(set.Find(kKindTemperature, 0, 0), nullptr);
    EXPECT_DOUBLE_EQ(set.Find(kKindTemperature, 0, 0)->value, 70.0);
}

TEST(HwmonTree, MalformedAndMissingFilesAreSkipped)
{
    TempFolder t;
    t.Write(L"hwmon0\\name", "coretemp\n");
    t.Write(L"hwmon0\\temp1_label", "Package id 0\n");
    t.Write(L"hwmon0\\temp1_input", "hot\n");
    t.Write(L"hwmon1\\name", "amdgpu\n");
    t.Write(L"hwmon1\\temp1_label", "edge\n");  // no input file
    t.Write(L"hwmon2\\name", "nct6775\n");
    t.Write(L"hwmon2\\temp1_label", "SYSTIN\n");
    t.Write(L"hwmon2\\temp1_input", "");
    t.Write(L"stray-file", "x");
    SensorDeviceSet set;
    EXPECT_EQ(HwmonSource::Scan(t.Path(), kNames, set), 0);
    EXPECT_TRUE(set.Devices().empty());
    EXPECT_EQ(HwmonSource::Scan(t.Path() + L"\\missing", kNames, set), 0);
}

TEST(HwmonTree, RadeonWithoutProductNameIsNamedByDeviceId)
{
    TempFolder t;
    t.Write(L"hwmon0\\name", "amdgpu\n");
    t.Write(L"hwmon0\\temp1_label", "edge\n");
    t.Write(L"hwmon0\\temp1_input", "39000\n");
    t.Write(L"hwmon0\\device\\device", "0x164e\n");
    SensorDeviceSet set;
    HwmonSource::Scan(t.Path(), kNames, set);
    ASSERT_EQ(set.Devices().size(), 1u);
    EXPECT_EQ(set.Devices()[0].name, "AMD Radeon Graphics [0x164e]");
}

}  // namespace
