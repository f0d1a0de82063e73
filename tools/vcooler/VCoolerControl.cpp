#include "VCoolerControl.h"

#include <cstring>
#include <memory>

#include "CoolerModel.h"
#include "DeviceNotifier.h"

namespace vcooler {

namespace {

bool ValidIndex(const State& s, int index)
{
    return index >= 0 && index < kMaxCoolers && s.coolers[index].present;
}

}  // namespace

void AppendLog(State& state, int cooler, int collection, LogKind kind, bool ok, const unsigned char* data, size_t length)
{
    LogEntry& e = state.log[state.logCount % kLogCapacity];
    e.timeUs = NowUs();
    e.cooler = static_cast<uint8_t>(cooler);
    e.collection = static_cast<uint8_t>(collection);
    e.kind = kind;
    e.ok = ok ? 1 : 0;
    e.length = static_cast<uint16_t>(length);
    memset(e.data, 0, sizeof(e.data));
    if (data != nullptr)
        memcpy(e.data, data, length < sizeof(e.data) ? length : sizeof(e.data));
    state.logCount++;
}

void VCoolerControl::Reset()
{
    if (!IsOpen())
        return;
    VCoolerChannel::Locked s(channel_);
    memset(s->coolers, 0, sizeof(s->coolers));
    s->logCount = 0;
    s->stopRequested = 0;
}

int VCoolerControl::Plug(const CoolerConfig& config)
{
    if (!IsOpen())
        return -1;
    NoticeBatch notices;
    int index = -1;
    {
        VCoolerChannel::Locked s(channel_);
        for (int i = 0; i < kMaxCoolers && index < 0; ++i) {
            if (!s->coolers[i].present)
                index = i;
        }
        if (index < 0)
            return -1;
        Cooler& c = s->coolers[index];
        memset(&c, 0, sizeof(c));
        c.present = 1;
        c.serial = s->nextSerial++;
        c.vendorId = config.vendorId;
        c.productId = config.productId;
        c.firmwareVersion = config.firmwareVersion;
        const std::vector<Collection> cols = config.collections.empty() ? DefaultCollections() : config.collections;
        c.collectionCount = static_cast<uint16_t>(cols.size() < kMaxCollections ? cols.size() : kMaxCollections);
        for (int k = 0; k < c.collectionCount; ++k)
            c.collections[k] = cols[k];
        c.pathPadding = config.pathPadding;
        c.restartDelayMs = config.restartDelayMs;
        c.unplugAfterOps = -1;
        PlugIn(c);
        notices = MakeNotices(*s, c, true);
    }
    SendNotices(notices);
    return index;
}

bool VCoolerControl::Replug(int index, bool notify)
{
    if (!IsOpen())
        return false;
    NoticeBatch notices;
    {
        VCoolerChannel::Locked s(channel_);
        if (!ValidIndex(*s, index) || s->coolers[index].plugged)
            return false;
        PlugIn(s->coolers[index]);
        if (notify)
            notices = MakeNotices(*s, s->coolers[index], true);
    }
    SendNotices(notices);
    return true;
}

bool VCoolerControl::Unplug(int index, bool notify)
{
    if (!IsOpen())
        return false;
    NoticeBatch notices;
    {
        VCoolerChannel::Locked s(channel_);
        if (!ValidIndex(*s, index) || !s->coolers[index].plugged)
            return false;
        vcooler::Unplug(s->coolers[index]);
        if (notify)
            notices = MakeNotices(*s, s->coolers[index], false);
    }
    SendNotices(notices);
    return true;
}

bool VCoolerControl::MakeStale(int index)
{
    if (!IsOpen())
        return false;
    VCoolerChannel::Locked s(channel_);
    if (!ValidIndex(*s, index) || !s->coolers[index].plugged)
        return false;
    Cooler& c = s->coolers[index];
    c.handleEpoch++;
    c.lit = 0;
    c.versionPending = 0;
    return true;
}

void VCoolerControl::RestartAsync(int index)
{
    struct Job {
        VCoolerChannel* channel;
        int index;
    };
    auto* job = new Job{&channel_, index};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            std::unique_ptr<Job> job(static_cast<Job*>(p));
            VCoolerControl control(*job->channel);
            Cooler c{};
            if (!control.ReadCooler(job->index, c))
                return 0;
            control.Unplug(job->index);
            Sleep(c.restartDelayMs);
            control.Replug(job->index);
            return 0;
        },
        job, 0, nullptr);
    if (thread == nullptr)
        delete job;
    else
        CloseHandle(thread);
}

bool VCoolerControl::SetFirmwareVersion(int index, uint16_t version)
{
    if (!IsOpen())
        return false;
    VCoolerChannel::Locked s(channel_);
    if (!ValidIndex(*s, index))
        return false;
    s->coolers[index].firmwareVersion = version;
    return true;
}

bool VCoolerControl::SetFault(int index, Fault fault, int count)
{
    if (!IsOpen())
        return false;
    VCoolerChannel::Locked s(channel_);
    if (!ValidIndex(*s, index))
        return false;
    Cooler& c = s->coolers[index];
    switch (fault) {
    case Fault::FailSends:
        c.failSends = count;
        break;
    case Fault::WrongIdReads:
        c.wrongIdReads = count;
        break;
    case Fault::FailReads:
        c.failReads = count;
        break;
    case Fault::UnplugAfterOps:
        c.unplugAfterOps = count;
        break;
    }
    return true;
}

bool VCoolerControl::SetCollectionBusy(int index, int collection, bool busy)
{
    if (!IsOpen())
        return false;
    VCoolerChannel::Locked s(channel_);
    if (!ValidIndex(*s, index) || collection < 0 || collection >= s->coolers[index].collectionCount)
        return false;
    s->coolers[index].collections[collection].busy = busy ? 1 : 0;
    return true;
}

DisplayState VCoolerControl::ReadDisplay(int index)
{
    DisplayState d;
    if (!IsOpen())
        return d;
    VCoolerChannel::Locked s(channel_);
    if (!ValidIndex(*s, index))
        return d;
    const Cooler& c = s->coolers[index];
    d.present = true;
    d.plugged = c.plugged != 0;
    d.lit = c.plugged && c.lit;
    memcpy(d.digits, c.digits, 3);
    return d;
}

bool VCoolerControl::ReadCooler(int index, Cooler& out)
{
    if (!IsOpen())
        return false;
    VCoolerChannel::Locked s(channel_);
    if (!ValidIndex(*s, index))
        return false;
    out = s->coolers[index];
    return true;
}

int VCoolerControl::CoolerCount()
{
    if (!IsOpen())
        return 0;
    VCoolerChannel::Locked s(channel_);
    int n = 0;
    for (const Cooler& c : s->coolers)
        n += c.present ? 1 : 0;
    return n;
}

std::vector<LogEntry> VCoolerControl::ReadLog(uint64_t from, uint64_t* first)
{
    std::vector<LogEntry> out;
    if (!IsOpen())
        return out;
    VCoolerChannel::Locked s(channel_);
    const uint64_t kept = s->logCount > kLogCapacity ? s->logCount - kLogCapacity : 0;
    const uint64_t start = from > kept ? from : kept;
    if (first != nullptr)
        *first = start;
    for (uint64_t i = start; i < s->logCount; ++i)
        out.push_back(s->log[i % kLogCapacity]);
    return out;
}

uint64_t VCoolerControl::LogCount()
{
    if (!IsOpen())
        return 0;
    VCoolerChannel::Locked s(channel_);
    return s->logCount;
}

void VCoolerControl::RequestStop(bool stop)
{
    if (!IsOpen())
        return;
    VCoolerChannel::Locked s(channel_);
    s->stopRequested = stop ? 1 : 0;
}

bool VCoolerControl::StopRequested()
{
    if (!IsOpen())
        return false;
    VCoolerChannel::Locked s(channel_);
    return s->stopRequested != 0;
}

void VCoolerControl::RegisterHost()
{
    if (!IsOpen())
        return;
    VCoolerChannel::Locked s(channel_);
    AddHost(*s, GetCurrentProcessId());
}

void VCoolerControl::UnregisterHost()
{
    if (!IsOpen())
        return;
    VCoolerChannel::Locked s(channel_);
    RemoveHost(*s, GetCurrentProcessId());
}

}  // namespace vcooler
