#include "AutostartTask.h"

#include <objbase.h>
#include <oleauto.h>

#include "ApartmentScope.h"
#include "ComPtr.h"
#include "SecurityRules.h"
#include "LogonTrigger.h"
#include "Paths.h"
#include "UniqueResource.h"

namespace {

// {0F87369F-A4E5-4CFC-BD3E-73E6154572DD}
constexpr CLSID kTaskSchedulerClsid = {
    0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};

void Report(FILE* err, const char* message, HRESULT hr)
{
    std::fprintf(err, "%s%lx\n", message, static_cast<unsigned long>(hr));
    std::fflush(err);
}

VARIANT EmptyVariant()
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

// Steps 2 to 10; every interface is owned here and released on return, before
// the caller's ComScope uninitialises COM.
int BuildAndRegister(TaskServiceFactory factory, const std::wstring& programPath, FILE* err)
{
    // A failed step is reported with its text and ends the registration.
    const auto Failed = [err](HRESULT hr, const char* message) {
        if (SUCCEEDED(hr))
            return false;
        Report(err, message, hr);
        return true;
    };
    ComPtr<ITaskService> service;
    if (Failed(factory(service.put()), "Failed to create Task Scheduler instance with HRESULT: 0x"))
        return 1;
    if (Failed(service->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant()), "Failed to connect to Task Scheduler service with HRESULT: 0x"))
        return 1;

    ComPtr<ITaskFolder> root;
    UniqueBstr rootPath = MakeBstr(L"\\");
    if (Failed(service->GetFolder(rootPath.get(), root.put()), "Failed to get root folder with HRESULT: 0x"))
        return 1;

    ComPtr<ITaskDefinition> task;
    if (Failed(service->NewTask(0, task.put()), "Failed to create new task with HRESULT: 0x"))
        return 1;

    ComPtr<ITriggerCollection> triggers;
    if (Failed(task->get_Triggers(triggers.put()), "Failed to get trigger collection with HRESULT: 0x"))
        return 1;
    ComPtr<ITrigger> trigger;
    if (Failed(triggers->Create(TASK_TRIGGER_LOGON, trigger.put()), "Failed to create trigger with HRESULT: 0x"))
        return 1;
    ComPtr<ILogonTrigger> logon;
    if (SUCCEEDED(trigger.As(logon))) {
        UniqueBstr delay = MakeBstr(L"PT5S");
        logon->put_Delay(delay.get());  // a trigger without the delay still starts the program
    }
    UniqueBstr triggerId = MakeBstr(L"Administrator");
    if (Failed(trigger->put_Id(triggerId.get()), "Failed to set trigger ID with HRESULT: 0x"))
        return 1;

    ComPtr<IPrincipal> principal;
    if (Failed(task->get_Principal(principal.put()), "Failed to get principal with HRESULT: 0x"))
        return 1;
    if (Failed(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST), "Failed to set run level with HRESULT: 0x"))
        return 1;

    ComPtr<ITaskSettings> settings;
    if (SUCCEEDED(task->get_Settings(settings.put())) && settings) {
        UniqueBstr noLimit = MakeBstr(L"PT0S");
        settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);
        settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
        settings->put_AllowDemandStart(VARIANT_TRUE);
        settings->put_StartWhenAvailable(VARIANT_FALSE);
        settings->put_MultipleInstances(TASK_INSTANCES_PARALLEL);
        settings->put_ExecutionTimeLimit(noLimit.get());
    }

    ComPtr<IActionCollection> actions;
    if (Failed(task->get_Actions(actions.put()), "Failed to get action collection with HRESULT: 0x"))
        return 1;
    ComPtr<IAction> action;
    if (Failed(actions->Create(TASK_ACTION_EXEC, action.put()), "Failed to create action with HRESULT: 0x"))
        return 1;
    ComPtr<IExecAction> exec;
    if (Failed(action.As(exec), "Failed to query exec action interface with HRESULT: 0x"))
        return 1;
    UniqueBstr path = MakeBstr(programPath.c_str());
    if (Failed(exec->put_Path(path.get()), "Failed to set executable path with HRESULT: 0x"))
        return 1;
    UniqueBstr arguments = MakeBstr(L"-hide");
    if (Failed(exec->put_Arguments(arguments.get()), "Failed to set command line arguments with HRESULT: 0x"))
        return 1;

    UniqueBstr taskName = MakeBstr(kStartupTaskName);
    UniqueBstr emptySddl = MakeBstr(L"");
    VARIANT sddl = EmptyVariant();
    sddl.vt = VT_BSTR;
    sddl.bstrVal = emptySddl.get();
    ComPtr<IRegisteredTask> registered;
    const HRESULT hr = root->RegisterTaskDefinition(taskName.get(), task.get(), TASK_CREATE_OR_UPDATE, EmptyVariant(),
                                      EmptyVariant(), TASK_LOGON_INTERACTIVE_TOKEN, sddl,
                                      registered.put());
    if (FAILED(hr))
        Report(err, "Failed to register task definition with HRESULT: 0x", hr);
    return 0;
}

}  // namespace

HRESULT CreateTaskSchedulerService(ITaskService** service)
{
    return CoCreateInstance(kTaskSchedulerClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                            reinterpret_cast<void**>(service));
}

int RegisterStartupTask()
{
    const UniqueLocalMemory folderSecurity = ReadFolderSecurity(GetModulePath());
    return RegisterStartupTaskFrom(folderSecurity.get(), CreateTaskSchedulerService,
                                   GetModulePath() + L"Vantrel Glimra.exe", stderr);
}

int RegisterStartupTaskFrom(PSECURITY_DESCRIPTOR folderSecurity, TaskServiceFactory factory,
                            const std::wstring& programPath, FILE* err)
{
    // A task at the highest level runs whatever lies in the folder at the next
    // logon, without a prompt: only for a folder no normal process can change.
    if (WritableByNonAdministrators(folderSecurity)) {
        std::fputs(kUnprotectedFolderText, err);
        std::fflush(err);
        return 1;
    }
    return RegisterStartupTask(factory, programPath, err);
}

int RegisterStartupTask(TaskServiceFactory factory, const std::wstring& programPath, FILE* err)
{
    const ComScope com;
    if (FAILED(com.Result())) {
        Report(err, "CoInitialize failed with HRESULT: 0x", com.Result());
        return 1;
    }
    return BuildAndRegister(factory, programPath, err);
}
