#pragma once
#include <windows.h>
#include <taskschd.h>

#include <string>
#include <vector>

// An in-process stand-in for the Task Scheduler 2.0 service objects. Every
// call the code under test makes is logged in order with its arguments; a step
// can be made to fail; live objects are counted so a leak shows on every path.
// The object graph follows the real one: the definition owns its trigger,
// action and settings objects, and registration reads the task from them.
enum class TaskStep {
    None,
    CreateService,
    Connect,
    GetFolder,
    NewTask,
    GetTriggers,
    CreateTrigger,
    PutDelay,
    PutTriggerId,
    GetPrincipal,
    PutRunLevel,
    GetSettings,
    GetActions,
    CreateAction,
    QueryExecAction,
    PutPath,
    PutArguments,
    Register,
};

// What RegisterTaskDefinition found in the definition it was given.
struct RegisteredTaskRecord {
    std::wstring folder, name, sddl;
    LONG flags = -1;
    TASK_LOGON_TYPE logonType = TASK_LOGON_NONE;
    VARTYPE userType = VT_ILLEGAL, passwordType = VT_ILLEGAL;
    std::vector<std::wstring> triggers;  // "type delay id"
    std::wstring principal;              // "runlevel user"
    std::wstring settings;               // the six values, in the order they were set
    std::vector<std::wstring> actions;   // "type path args workdir"
};

struct FakeTaskScheduler {
    TaskStep failAt = TaskStep::None;
    HRESULT failWith = E_ACCESSDENIED;
    bool logonTriggerOffersInterface = true;

    std::vector<std::wstring> calls;
    std::vector<std::wstring> unexpected;
    std::vector<RegisteredTaskRecord> registered;
    LONG live = 0;
    int created = 0;

    void Reset() { *this = FakeTaskScheduler(); }
    // True when step is the one told to fail.
    bool Fails(TaskStep step) const { return failAt == step; }

    // The factory handed to RegisterStartupTask.
    static HRESULT CreateService(ITaskService** service);
};

extern FakeTaskScheduler g_fakeScheduler;
