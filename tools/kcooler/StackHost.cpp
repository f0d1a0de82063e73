#include "StackHost.h"

#include <cstdio>
#include <cstring>
#include <thread>

#include "CoolerModel.h"
#include "FeatureExchange.h"
#include "StackProtocol.h"
#include "UniqueResource.h"
#include "VCoolerControl.h"

using namespace vcooler;

namespace {

bool ReadAll(HANDLE pipe, void* data, DWORD size)
{
    auto* at = static_cast<unsigned char*>(data);
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, at, size, &got, nullptr) || got == 0)
            return false;
        at += got;
        size -= got;
    }
    return true;
}

int DisplayCollection(const Cooler& c)
{
    for (int k = 0; k < c.collectionCount; ++k) {
        if (IsDisplayCollection(c.collections[k]))
            return k;
    }
    return -1;
}

}  // namespace

StackHost::StackHost(VCoolerChannel& channel, DeviceNodes nodes) : channel_(channel), nodes_(std::move(nodes)) {}

int StackHost::Run()
{
    if (!channel_.IsOpen())
        return 1;
    const int leftovers = nodes_.RemoveLeftovers();
    if (leftovers > 0)
        wprintf(L"removed %d node(s) left from an earlier session\n", leftovers);
    std::thread(&StackHost::Listen, this).detach();
    VCoolerControl control(channel_);
    while (!control.StopRequested()) {
        Reconcile();
        Sleep(20);
    }
    for (int i = 0; i < kMaxCoolers; ++i) {
        if (nodePresent_[i].exchange(false))
            nodes_.Remove(i);
    }
    return 0;
}

void StackHost::Reconcile()
{
    for (int i = 0; i < kMaxCoolers; ++i) {
        bool wanted = false;
        uint32_t generation = 0;
        {
            VCoolerChannel::Locked s(channel_);
            const Cooler& c = s->coolers[i];
            wanted = c.present && c.plugged;
            generation = c.generation;
        }
        const bool present = nodePresent_[i];
        if (present && (!wanted || nodeGeneration_[i] != generation)) {
            nodePresent_[i] = false;
            const unsigned long error = nodes_.Remove(i);
            wprintf(L"cooler %d: node removed (%lu)\n", i, error);
        }
        if (wanted && !nodePresent_[i]) {
            nodeGeneration_[i] = generation;
            nodePresent_[i] = true;
            const unsigned long error = nodes_.Create(i);
            if (error != 0)
                nodePresent_[i] = false;
            wprintf(L"cooler %d: node %ls created (%lu)\n", i, nodes_.InstanceId(i).c_str(), error);
        }
        fflush(stdout);
    }
}

void StackHost::Listen()
{
    const std::wstring name =
        L"\\\\.\\pipe\\" VCOOLER_STACK_PIPE_PREFIX + channel_.Name() + VCOOLER_STACK_PIPE_SUFFIX;
    for (;;) {
        HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                       PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            Sleep(100);
            continue;
        }
        if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED)
            std::thread(&StackHost::Serve, this, pipe).detach();
        else
            CloseHandle(pipe);
    }
}

// On a thread of its own per driver connection.
void StackHost::Serve(HANDLE rawPipe)
{
    UniqueHandle pipe(rawPipe);
    vcooler_stack_request request{};
    while (ReadAll(pipe.get(), &request, sizeof(request))) {
        vcooler_stack_answer answer{};
        answer.result = -1;
        const int slot = static_cast<int>(request.slot);
        const size_t length = request.length < sizeof(request.data) ? request.length : sizeof(request.data);
        FeatureOutcome outcome;
        if (slot >= 0 && slot < kMaxCoolers && nodePresent_[slot]) {
            VCoolerChannel::Locked s(channel_);
            const Cooler& c = s->coolers[slot];
            const int collection = DisplayCollection(c);
            if (request.op == VCOOLER_STACK_SEND) {
                outcome = SendFeatureLocked(*s, slot, collection, nodeGeneration_[slot], c.handleEpoch, request.data,
                                            length);
            } else {
                memcpy(answer.data, request.data, sizeof(answer.data));
                outcome = GetFeatureLocked(*s, slot, collection, nodeGeneration_[slot], c.handleEpoch, answer.data,
                                           length);
            }
            answer.result = outcome.result;
        }
        SendNotices(outcome.notices);
        if (outcome.restart)
            VCoolerControl(channel_).RestartAsync(slot);
        DWORD written = 0;
        if (!WriteFile(pipe.get(), &answer, sizeof(answer), &written, nullptr) || written != sizeof(answer))
            break;
    }
}
