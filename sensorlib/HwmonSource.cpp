#include "HwmonSource.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "ProcAddress.h"
#include "UniqueResource.h"

namespace {

// Small sysfs attribute: first line, trimmed; empty when missing.
std::string ReadAttribute(const std::wstring& path)
{
    UniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f)
        return {};
    char buf[256];
    DWORD got = 0;
    if (!ReadFile(f.get(), buf, sizeof buf - 1, &got, nullptr))
        return {};
    std::string s(buf, got);
    const size_t eol = s.find_first_of("\r\n");
    if (eol != std::string::npos)
        s.resize(eol);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

bool ReadMilli(const std::wstring& path, double& celsius)
{
    const std::string s = ReadAttribute(path);
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    celsius = static_cast<double>(v) / 1000.0;
    return true;
}

std::vector<std::wstring> SubFolders(const std::wstring& dir)
{
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd{};
    UniqueFind find(FindFirstFileW((dir + L"\\*").c_str(), &fd));
    if (!find)
        return out;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..")
            out.push_back(dir + L"\\" + name);
    } while (FindNextFileW(find.get(), &fd));
    return out;
}

// tempN_label -> tempN_input for every labelled input of a chip.
struct LabelledInput {
    std::string label;
    std::wstring input;
};
std::vector<LabelledInput> TempInputs(const std::wstring& chip)
{
    std::vector<LabelledInput> out;
    for (int n = 1; n <= 32; ++n) {
        const std::wstring base = chip + L"\\temp" + std::to_wstring(n);
        const std::string label = ReadAttribute(base + L"_label");
        if (!label.empty())
            out.push_back({label, base + L"_input"});
    }
    return out;
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

std::string CardName(const std::wstring& chip)
{
    std::string name = ReadAttribute(chip + L"\\device\\product_name");
    if (!name.empty())
        return name;
    const std::string id = ReadAttribute(chip + L"\\device\\device");
    return id.empty() ? "AMD Radeon Graphics" : "AMD Radeon Graphics [" + id + "]";
}

}  // namespace

int HwmonSource::Scan(const std::wstring& hwmonDir, const Names& names, SensorDeviceSet& out)
{
    out.BeginSource("hwmon");
    int added = 0;
    const std::string cpuName = names.cpu.empty() ? "CPU" : names.cpu;
    const std::string boardName = names.board.empty() ? "Motherboard" : names.board;
    bool cpuTaken = false;
    bool boardTaken = false;
    for (const std::wstring& chip : SubFolders(hwmonDir)) {
        const std::string driver = ReadAttribute(chip + L"\\name");
        const auto inputs = TempInputs(chip);
        double c = 0.0;
        if (driver == "coretemp" && !cpuTaken) {
            for (const auto& in : inputs) {
                if (in.label == "Package id 0" && ReadMilli(in.input, c)) {
                    added += out.Add(out.OpenDevice(cpuName), kKindTemperature, kClassCpu, "CPU Package", c);
                    cpuTaken = true;
                }
            }
        } else if (driver == "k10temp" && !cpuTaken) {
            const LabelledInput* pick = nullptr;
            for (const auto& in : inputs) {
                if (in.label == "Tdie" || (in.label == "Tctl" && pick == nullptr))
                    pick = &in;
            }
            if (pick != nullptr && ReadMilli(pick->input, c)) {
                added += out.Add(out.OpenDevice(cpuName), kKindTemperature, kClassCpu, "CPU (Tctl/Tdie)", c);
                cpuTaken = true;
            }
        } else if (driver == "amdgpu") {
            for (const auto& in : inputs) {
                if (in.label == "edge" && ReadMilli(in.input, c)) {
                    const int card = out.OpenDevice(CardName(chip));
                    added += out.Add(card, kKindTemperature, kClassGpu, "GPU Temperature", c);
                    const std::string busy = ReadAttribute(chip + L"\\device\\gpu_busy_percent");
                    char* end = nullptr;
                    const double load = std::strtod(busy.c_str(), &end);
                    if (!busy.empty() && *end == '\0')
                        added += out.Add(card, kKindLoad, kClassGpu, "GPU Utilization", load);
                }
            }
        } else if (StartsWith(driver, "nct67") && !boardTaken) {
            for (const auto& in : inputs) {
                if (in.label == "SYSTIN" && ReadMilli(in.input, c)) {
                    added += out.Add(out.OpenDevice(boardName), kKindTemperature, kClassBoard, "Motherboard", c);
                    boardTaken = true;
                }
            }
        }
    }
    return added;
}

namespace {
using DosNameFn = WCHAR*(CDECL*)(const char*);

std::wstring DosName(const char* unixPath)
{
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto fn = ProcAddress<DosNameFn>(kernel, "wine_get_dos_file_name");
    if (fn == nullptr)
        return {};
    WCHAR* name = fn(unixPath);
    if (name == nullptr)
        return {};
    std::wstring out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}
}  // namespace

std::wstring HwmonSource::HostHwmonDir()
{
    return DosName("/sys/class/hwmon");
}

std::string HwmonSource::HostBoardName()
{
    const std::wstring dmi = DosName("/sys/class/dmi/id");
    if (dmi.empty())
        return {};
    const std::string vendor = ReadAttribute(dmi + L"\\board_vendor");
    const std::string board = ReadAttribute(dmi + L"\\board_name");
    if (board.empty())
        return {};
    return vendor.empty() ? board : vendor + " " + board;
}
