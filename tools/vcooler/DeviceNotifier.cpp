#include "DeviceNotifier.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>

#include "CoolerModel.h"
#include "UniqueResource.h"

namespace vcooler {

namespace {

constexpr wchar_t kMainWindowProperty[] = L"Vantrel Glimra";
constexpr GUID kUsbDeviceClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr GUID kHidClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

bool ProcessAlive(DWORD pid)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return false;
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

struct WindowSearch {
    const std::vector<DWORD>* hosts;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (GetPropW(window, kMainWindowProperty) == nullptr)
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    for (DWORD host : *search->hosts) {
        if (host == pid)
            search->found.push_back(window);
    }
    return TRUE;
}

int Deliver(const std::vector<HWND>& windows, WPARAM event, const GUID& cls, const std::wstring& path)
{
    constexpr size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    const size_t size = kNameOffset + (path.size() + 1) * sizeof(wchar_t);
    std::vector<unsigned char> buffer(size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) ? sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) : size);
    auto* notice = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    notice->dbcc_size = static_cast<DWORD>(size);
    notice->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    notice->dbcc_classguid = cls;
    memcpy(buffer.data() + kNameOffset, path.c_str(), (path.size() + 1) * sizeof(wchar_t));

    int delivered = 0;
    for (HWND window : windows) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(notice), SMTO_NORMAL, 5000, &result))
            ++delivered;
    }
    return delivered;
}

std::wstring Widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

}  // namespace

NoticeBatch MakeNotices(const State& state, const Cooler& cooler, bool arrival)
{
    NoticeBatch batch;
    batch.arrival = arrival;
    batch.usbPaths.push_back(UsbDevicePath(cooler));
    for (int i = 0; i < cooler.collectionCount; ++i)
        batch.hidPaths.push_back(Widen(CollectionPath(cooler, i)));
    for (uint32_t pid : state.hosts) {
        if (pid != 0)
            batch.hosts.push_back(pid);
    }
    return batch;
}

int SendNotices(const NoticeBatch& batch)
{
    if (batch.hosts.empty())
        return 0;
    WindowSearch search{&batch.hosts, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    const WPARAM event = batch.arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    int delivered = 0;
    // The device interface arrives before its collections and leaves after them.
    if (batch.arrival) {
        for (const auto& path : batch.usbPaths)
            delivered += Deliver(search.found, event, kUsbDeviceClass, path);
    }
    for (const auto& path : batch.hidPaths)
        delivered += Deliver(search.found, event, kHidClass, path);
    if (!batch.arrival) {
        for (const auto& path : batch.usbPaths)
            delivered += Deliver(search.found, event, kUsbDeviceClass, path);
    }
    return delivered;
}

void AddHost(State& state, DWORD pid)
{
    for (uint32_t& host : state.hosts) {
        if (host != 0 && host != pid && !ProcessAlive(host))
            host = 0;
    }
    for (uint32_t host : state.hosts) {
        if (host == pid)
            return;
    }
    for (uint32_t& host : state.hosts) {
        if (host == 0) {
            host = pid;
            return;
        }
    }
}

void RemoveHost(State& state, DWORD pid)
{
    for (uint32_t& host : state.hosts) {
        if (host == pid)
            host = 0;
    }
}

}  // namespace vcooler
