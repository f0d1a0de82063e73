#include "AutostartTask.h"

#include <objbase.h>
#include <oleauto.h>

#include "ComPtr.h"
#include "LogonTrigger.h"
#include "Paths.h"
#include "UniqueBstr.h"

namespace {

// {0F87369F-A4E5-4CFC-BD3E-73E6154572DD}
constexpr CLSID kTaskSchedulerClsid = {
    0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};

// Pairs CoInitialize with CoUninitialize on every path out.
class ComScope {
public:
    HRESULT Init()
    {
        hr_ = CoInitialize(nullptr);
        return hr_;
    }
    ~ComScope()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }

private:
    HRESULT hr_ = E_FAIL;
};

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
    ComPtr<ITaskService> service;
    HRESULT hr = factory(service.put());
    if (FAILED(hr)) {
        Report(err, "Failed to create Task Scheduler instance with HRESULT: 0x", hr);
        return 1;
    }
    hr = service->Connect(EmptyVariant(), EmptyVariant(), EmptyVariant(), EmptyVariant());
    if (FAILED(hr)) {
        Report(err, "Failed to connect to Task Scheduler service with HRESULT: 0x", hr);
        return 1;
    }

    ComPtr<ITaskFolder> root;
    UniqueBstr rootPath(L"\\");
    hr = service->GetFolder(rootPath.get(), root.put());
    if (FAILED(hr)) {
        Report(err, "Failed to get root folder with HRESULT: 0x", hr);
        return 1;
    }

    ComPtr<ITaskDefinition> task;
    hr = service->NewTask(0, task.put());
    if (FAILED(hr)) {
        Report(err, "Failed to create new task with HRESULT: 0x", hr);
        return 1;
    }

    ComPtr<ITriggerCollection> triggers;
    hr = task->get_Triggers(triggers.put());
    if (FAILED(hr)) {
        Report(err, "Failed to get trigger collection with HRESULT: 0x", hr);
        return 1;
    }
    ComPtr<ITrigger> trigger;
    hr = triggers->Create(TASK_TRIGGER_LOGON, trigger.put());
    if (FAILED(hr)) {
        Report(err, "Failed to create trigger with HRESULT: 0x", hr);
        return 1;
    }
    ComPtr<ILogonTrigger> logon;
    if (SUCCEEDED(trigger.As(logon))) {
        UniqueBstr delay(L"PT5S");
        logon->put_Delay(delay.get());  // a trigger without the delay still starts the program
    }
    UniqueBstr triggerId(L"Administrator");
    hr = trigger->put_Id(triggerId.get());
    if (FAILED(hr)) {
        Report(err, "Failed to set trigger ID with HRESULT: 0x", hr);
        return 1;
    }

    ComPtr<IPrincipal> principal;
    hr = task->get_Principal(principal.put());
    if (FAILED(hr)) {
        Report(err, "Failed to get principal with HRESULT: 0x", hr);
        return 1;
    }
    hr = principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST);
    if (FAILED(hr)) {
        Report(err, "Failed to set run level with HRESULT: 0x", hr);
        return 1;
    }

    ComPtr<ITaskSettings> settings;
    if (SUCCEEDED(task->get_Settings(settings.put())) && settings) {
        UniqueBstr noLimit(L"PT0S");
        settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);
        settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
        settings->put_AllowDemandStart(VARIANT_TRUE);
        settings->put_StartWhenAvailable(VARIANT_FALSE);
        settings->put_MultipleInstances(TASK_INSTANCES_PARALLEL);
        settings->put_ExecutionTimeLimit(noLimit.get());
    }

    ComPtr<IActionCollection> actions;
    hr = task->get_Actions(actions.put());
    if (FAILED(hr)) {
        Report(err, "Failed to get action collection with HRESULT: 0x", hr);
        return 1;
    }
    ComPtr<IAction> action;
    hr = actions->Create(TASK_ACTION_EXEC, action.put());
    if (FAILED(hr)) {
        Report(err, "Failed to create action with HRESULT: 0x", hr);
        return 1;
    }
    ComPtr<IExecAction> exec;
    hr = action.As(exec);
    if (FAILED(hr)) {
        Report(err, "Failed to query exec action interface with HRESULT: 0x", hr);
        return 1;
    }
    UniqueBstr path(programPath.c_str());
    hr = exec->put_Path(path.get());
    if (FAILED(hr)) {
        Report(err, "Failed to set executable path with HRESULT: 0x", hr);
        return 1;
    }
    UniqueBstr arguments(L"-hide");
    hr = exec->put_Arguments(arguments.get());
    if (FAILED(hr)) {
        Report(err, "Failed to set command line arguments with HRESULT: 0x", hr);
        return 1;
    }

    UniqueBstr taskName(kStartupTaskName);
    UniqueBstr emptySddl(L"");
    VARIANT sddl = EmptyVariant();
    sddl.vt = VT_BSTR;
    sddl.bstrVal = emptySddl.get();
    ComPtr<IRegisteredTask> registered;
    hr = root->RegisterTaskDefinition(taskName.get(), task.get(), TASK_CREATE_OR_UPDATE, EmptyVariant(),
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
    return RegisterStartupTask(CreateTaskSchedulerService, GetModulePath() + L"Vantrel Glimra.exe", stderr);
}

int RegisterStartupTask(TaskServiceFactory factory, const std::wstring& programPath, FILE* err)
{
    ComScope com;
    const HRESULT hr = com.Init();
    if (FAILED(hr)) {
        Report(err, "CoInitialize failed with HRESULT: 0x", hr);
        return 1;
    }
    return BuildAndRegister(factory, programPath, err);
}
