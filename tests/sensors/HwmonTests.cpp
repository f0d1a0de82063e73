// The hwmon mapping against fake sysfs trees in a temp folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "DeviceSetText.h"
#include "HwmonSource.h"
#include "SensorTestSupport.h"

namespace {

const HwmonSource::Names kNames{"Test CPU 9000", "Test Board X1"};

// Writes a tree given a line per folder, "folder: file=content; file=content"
// (a line without a folder holds files at the top). Content gets a line end
// unless it is empty.
void WriteTree(const TempFolder& t, const std::string& tree)
{
    std::istringstream lines(tree);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        const std::string folder = colon == std::string::npos ? "" : line.substr(0, colon) + "/";
        std::istringstream files(colon == std::string::npos ? line : line.substr(colon + 2));
        for (std::string file; std::getline(files, file, ';');) {
            file.erase(0, file.find_first_not_of(' '));
            const size_t eq = file.find('=');
            if (eq == std::string::npos)
                continue;
            std::string path = folder + file.substr(0, eq);
            std::replace(path.begin(), path.end(), '/', '\\');
            const std::string content = file.substr(eq + 1);
            t.Write(std::wstring(path.begin(), path.end()), content.empty() ? content : content + "\n");
        }
    }
}

struct HwmonCase {
    const char* name;
    const char* tree;
    int added;  // what Scan reports
    std::vector<std::string> devices;
    const wchar_t* scanned = L"";  // below the tree's folder
};

const HwmonCase kHwmonCases[] = {
    {"IntelDesktopWithRadeonAndSuperIo", R"(
hwmon0: name=coretemp; temp1_label=Package id 0; temp1_input=52000; temp2_label=Core 0; temp2_input=49000
hwmon1: name=amdgpu; temp1_label=edge; temp1_input=47000; temp2_label=junction; temp2_input=55000
hwmon1: device/product_name=AMD Radeon RX 6600; device/gpu_busy_percent=17
hwmon2: name=nct6798; temp1_label=SYSTIN; temp1_input=33500; temp2_label=CPUTIN; temp2_input=45000
hwmon3: name=acpitz; temp1_input=27800
)",
     4,
     {"Test CPU 9000", "  temp 0: 11 CPU Package 52",  // cores are not mapped
      "AMD Radeon RX 6600", "  temp 0: 13 GPU Temperature 47", "  load 0: 13 GPU Utilization 17",
      "Test Board X1", "  temp 0: 12 Motherboard 33.5"}},
    {"AmdPrefersTdieOverTctl", R"(
hwmon0: name=k10temp; temp1_label=Tctl; temp1_input=70000; temp2_label=Tdie; temp2_input=60125
)",
     1,
     {"Test CPU 9000", "  temp 0: 11 CPU (Tctl/Tdie) 60.125"}},
    {"AmdTctlAlone", R"(
hwmon4: name=k10temp; temp1_label=Tctl; temp1_input=70000; temp3_label=Tccd1; temp3_input=66000
)",
     1,
     {"Test CPU 9000", "  temp 0: 11 CPU (Tctl/Tdie) 70"}},
    {"MalformedAndMissingFilesAreSkipped", R"(
hwmon0: name=coretemp; temp1_label=Package id 0; temp1_input=hot
hwmon1: name=amdgpu; temp1_label=edge
hwmon2: name=nct6775; temp1_label=SYSTIN; temp1_input=
stray-file=x
)",
     0,
     {}},
    {"MissingFolderGivesNothing", "", 0, {}, L"\\missing"},
    {"RadeonWithoutProductNameIsNamedByDeviceId", R"(
hwmon0: name=amdgpu; temp1_label=edge; temp1_input=39000; device/device=0x164e
)",
     1,
     {"AMD Radeon Graphics [0x164e]", "  temp 0: 13 GPU Temperature 39"}},
};

class HwmonTree : public ::testing::TestWithParam<HwmonCase> {};

TEST_P(HwmonTree, MapsTheChips)
{
    const HwmonCase& c = GetParam();
    TempFolder t;
    WriteTree(t, c.tree);
    SensorDeviceSet set;
    EXPECT_EQ(HwmonSource::Scan(t.Path() + c.scanned, kNames, set), c.added);
    EXPECT_EQ(DeviceSetLines(set), c.devices);
}

INSTANTIATE_TEST_SUITE_P(Trees, HwmonTree, ::testing::ValuesIn(kHwmonCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
