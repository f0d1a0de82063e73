#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <sddl.h>

#include "AutostartTask.h"
#include "FakeTaskScheduler.h"
#include "UniqueResource.h"
#include "Paths.h"

namespace {

const std::wstring kProgram = L"C:\\Program Files\\Vantrel Glimra\\Vantrel Glimra.exe";

// A real file standing in for the error stream; read back after the run.
class CapturedStream {
public:
    CapturedStream()
    {
        wchar_t dir[MAX_PATH] = {};
        wchar_t name[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"cst", 0, name);
        path_ = name;
        file_ = _wfopen(name, L"w+");
    }
    ~CapturedStream()
    {
        if (file_)
            fclose(file_);
        DeleteFileW(path_.c_str());
    }
    FILE* get() const { return file_; }
    std::string Text()
    {
        std::string text;
        rewind(file_);
        for (int c; (c = fgetc(file_)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

private:
    std::wstring path_;
    FILE* file_ = nullptr;
};

struct RunResult {
    int result = -1;
    std::string err;
};

// Runs the registration on a fresh thread, as the UI thread would: COM is not
// yet initialised there.
RunResult RunAgainstFake()
{
    RunResult r;
    std::thread([&] {
        CapturedStream err;
        r.result = RegisterStartupTask(FakeTaskScheduler::CreateService, kProgram, err.get());
        r.err = err.Text();
    }).join();
    return r;
}

class StartupTaskFake : public ::testing::Test {
protected:
    void SetUp() override { g_fakeScheduler.Reset(); }
    void TearDown() override
    {
        EXPECT_EQ(g_fakeScheduler.live, 0) << "Task Scheduler objects leaked";
        EXPECT_TRUE(g_fakeScheduler.unexpected.empty()) << "unexpected call";
    }
};

const wchar_t kEverySetting[] =
    L"StopIfGoingOnBatteries=false DisallowStartIfOnBatteries=false AllowDemandStart=true "
    L"StartWhenAvailable=false MultipleInstances=0 ExecutionTimeLimit=PT0S";

const std::vector<std::wstring> kFullCallOrder = {
    L"CreateService",
    L"ITaskService::Connect(empty, empty, empty, empty)",
    L"ITaskService::GetFolder(\\)",
    L"ITaskService::NewTask(0)",
    L"ITaskDefinition::get_Triggers",
    L"ITriggerCollection::Create(9)",
    L"ILogonTrigger::put_Delay(PT5S)",
    L"ITrigger::put_Id(Administrator)",
    L"ITaskDefinition::get_Principal",
    L"IPrincipal::put_RunLevel(1)",
    L"ITaskDefinition::get_Settings",
    L"ITaskSettings::put_StopIfGoingOnBatteries(false)",
    L"ITaskSettings::put_DisallowStartIfOnBatteries(false)",
    L"ITaskSettings::put_AllowDemandStart(true)",
    L"ITaskSettings::put_StartWhenAvailable(false)",
    L"ITaskSettings::put_MultipleInstances(0)",
    L"ITaskSettings::put_ExecutionTimeLimit(PT0S)",
    L"ITaskDefinition::get_Actions",
    L"IActionCollection::Create(0)",
    L"IAction::QueryInterface(IExecAction)",
    L"IExecAction::put_Path(" + kProgram + L")",
    L"IExecAction::put_Arguments(-hide)",
    L"ITaskFolder::RegisterTaskDefinition(GLIMRA StartupTask, 6, empty, empty, 3, \"\")",
};

TEST_F(StartupTaskFake, RegistersTheTaskWithEveryProperty)
{
    const RunResult r = RunAgainstFake();
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(g_fakeScheduler.registered.size(), 1u);
    const RegisteredTaskRecord& t = g_fakeScheduler.registered[0];
    EXPECT_EQ(t.folder, L"\\");
    EXPECT_EQ(t.name, L"GLIMRA StartupTask");
    EXPECT_EQ(t.flags, TASK_CREATE_OR_UPDATE);
    EXPECT_EQ(t.userType, VT_EMPTY);
    EXPECT_EQ(t.passwordType, VT_EMPTY);
    EXPECT_EQ(t.logonType, TASK_LOGON_INTERACTIVE_TOKEN);
    EXPECT_EQ(t.sddl, L"\"\"");
    EXPECT_EQ(t.triggers, std::vector<std::wstring>{L"9 PT5S Administrator"});
    EXPECT_EQ(t.principal, L"1 -");  // highest run level, no user
    EXPECT_EQ(t.settings, kEverySetting);
    EXPECT_EQ(t.actions, std::vector<std::wstring>{L"0 " + kProgram + L" -hide -"});
}

TEST_F(StartupTaskFake, CallsInTheOrderOfTheSteps)
{
    RunAgainstFake();
    EXPECT_EQ(g_fakeScheduler.calls, kFullCallOrder);
}

TEST_F(StartupTaskFake, RunningTwiceUpdatesTheSameTask)
{
    EXPECT_EQ(RunAgainstFake().result, 0);
    EXPECT_EQ(RunAgainstFake().result, 0);
    ASSERT_EQ(g_fakeScheduler.registered.size(), 2u);
    EXPECT_EQ(g_fakeScheduler.registered[0].name, g_fakeScheduler.registered[1].name);
    EXPECT_EQ(g_fakeScheduler.registered[1].flags, TASK_CREATE_OR_UPDATE);
}

// The folder descriptors the plain entry reads (Wine makes them up from the
// Unix mode bits, so they are given here as Windows has them).
TEST_F(StartupTaskFake, OnlyAFolderNoNormalProcessCanWriteGetsTheHighestLevelTask)
{
    const struct {
        const wchar_t* sddl;  // null: unreadable
        bool registered;
    } cases[] = {
        // Program Files as Windows sets it up.
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;CIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;;0x1301bf;;;SY)"
         L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
         L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)", true},
        // What the installer sets on any folder it installs to.
        {L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", true},
        // D:\Glimra, inheriting from a drive root that lets users modify.
        {L"O:S-1-5-21-1-2-3-1001D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1301bf;;;AU)"
         L"(A;OICIID;0x1200a9;;;BU)", false},
        {L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},  // a user owns it
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1301bf;;;BU)", false},
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;;0x2;;;WD)", false},                       // anyone may add a file
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;;0x40;;;AU)", false},                      // or delete one
        {L"O:BA", false},  // no DACL: everyone may do anything
        {nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sddl ? std::string(c.sddl, c.sddl + wcslen(c.sddl)) : "unreadable");
        g_fakeScheduler.Reset();
        UniqueLocalMemory descriptor;
        if (c.sddl)
            ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1,
                                                                             descriptor.put(), nullptr));
        RunResult r;
        std::thread([&] {
            CapturedStream err;
            r.result = RegisterStartupTaskFrom(descriptor.get(), FakeTaskScheduler::CreateService, kProgram, err.get());
            r.err = err.Text();
        }).join();
        EXPECT_EQ(g_fakeScheduler.registered.size(), c.registered ? 1u : 0u);
        EXPECT_EQ(r.result, c.registered ? 0 : 1);
        EXPECT_EQ(r.err, c.registered ? "" : kUnprotectedFolderText);
    }
}

TEST_F(StartupTaskFake, DefaultProgramIsVantrelGlimraInTheProgramFolder)
{
    std::thread([] {
        // stderr stays untouched on success; the fake records the path.
        RegisterStartupTask(FakeTaskScheduler::CreateService, GetModulePath() + L"Vantrel Glimra.exe", stderr);
    }).join();
    ASSERT_EQ(g_fakeScheduler.registered.size(), 1u);
    EXPECT_EQ(g_fakeScheduler.registered[0].actions,
              std::vector<std::wstring>{L"0 " + GetModulePath() + L"Vantrel Glimra.exe -hide -"});
}

struct FailureCase {
    TaskStep step;
    const char* call;     // the failing call, last in the log
    const char* message;  // printed before the code
    int result;
};

const char* Name(const FailureCase& c)
{
    return c.call;
}

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.call;
}

class StartupTaskFailure : public StartupTaskFake, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartupTaskFailure, ReportsReleasesAndStops)
{
    const FailureCase& c = GetParam();
    g_fakeScheduler.failAt = c.step;
    g_fakeScheduler.failWith = E_ACCESSDENIED;
    const RunResult r = RunAgainstFake();

    EXPECT_EQ(r.result, c.result);
    // QueryInterface failures are the interface's own answer.
    const char* code = c.step == TaskStep::QueryExecAction ? "80004002" : "80070005";
    EXPECT_EQ(r.err, std::string(c.message) + code + "\n");
    ASSERT_FALSE(g_fakeScheduler.calls.empty());
    const std::wstring last = g_fakeScheduler.calls.back();
    EXPECT_EQ(std::string(last.begin(), last.end()).rfind(c.call, 0), 0u) << Name(c);
    // Nothing after the failing step, and the task is left as it was.
    size_t at = 0;
    while (at < kFullCallOrder.size() && kFullCallOrder[at] != last)
        ++at;
    EXPECT_EQ(g_fakeScheduler.calls.size(), at + 1);
    EXPECT_TRUE(g_fakeScheduler.registered.empty());
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, StartupTaskFailure,
    ::testing::Values(
        FailureCase{TaskStep::CreateService, "CreateService", "Failed to create Task Scheduler instance with HRESULT: 0x", 1},
        FailureCase{TaskStep::Connect, "ITaskService::Connect", "Failed to connect to Task Scheduler service with HRESULT: 0x", 1},
        FailureCase{TaskStep::GetFolder, "ITaskService::GetFolder", "Failed to get root folder with HRESULT: 0x", 1},
        FailureCase{TaskStep::NewTask, "ITaskService::NewTask", "Failed to create new task with HRESULT: 0x", 1},
        FailureCase{TaskStep::GetTriggers, "ITaskDefinition::get_Triggers", "Failed to get trigger collection with HRESULT: 0x", 1},
        FailureCase{TaskStep::CreateTrigger, "ITriggerCollection::Create", "Failed to create trigger with HRESULT: 0x", 1},
        FailureCase{TaskStep::PutTriggerId, "ITrigger::put_Id", "Failed to set trigger ID with HRESULT: 0x", 1},
        FailureCase{TaskStep::GetPrincipal, "ITaskDefinition::get_Principal", "Failed to get principal with HRESULT: 0x", 1},
        FailureCase{TaskStep::PutRunLevel, "IPrincipal::put_RunLevel", "Failed to set run level with HRESULT: 0x", 1},
        FailureCase{TaskStep::GetActions, "ITaskDefinition::get_Actions", "Failed to get action collection with HRESULT: 0x", 1},
        FailureCase{TaskStep::CreateAction, "IActionCollection::Create", "Failed to create action with HRESULT: 0x", 1},
        FailureCase{TaskStep::QueryExecAction, "IAction::QueryInterface", "Failed to query exec action interface with HRESULT: 0x", 1},
        FailureCase{TaskStep::PutPath, "IExecAction::put_Path", "Failed to set executable path with HRESULT: 0x", 1},
        FailureCase{TaskStep::PutArguments, "IExecAction::put_Arguments", "Failed to set command line arguments with HRESULT: 0x", 1},
        FailureCase{TaskStep::Register, "ITaskFolder::RegisterTaskDefinition", "Failed to register task definition with HRESULT: 0x", 0}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
        // Test names may hold only letters, digits and underscores.
        std::string name;
        for (const char* p = Name(info.param); *p != 0; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

// Steps the task does without: it is still registered, silently.
TEST_F(StartupTaskFake, OptionalStepsMayFail)
{
    struct Case {
        const char* what;
        TaskStep failAt;
        bool logonTriggerOffersInterface;
        const wchar_t* trigger;
        const wchar_t* settings;
    };
    const Case cases[] = {
        {"failed delay", TaskStep::PutDelay, true, L"9 - Administrator", kEverySetting},
        {"trigger without logon interface", TaskStep::None, false, L"9 - Administrator", kEverySetting},
        {"missing settings", TaskStep::GetSettings, true, L"9 PT5S Administrator", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_fakeScheduler.Reset();
        g_fakeScheduler.failAt = c.failAt;
        g_fakeScheduler.logonTriggerOffersInterface = c.logonTriggerOffersInterface;
        const RunResult r = RunAgainstFake();
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.err, "");
        ASSERT_EQ(g_fakeScheduler.registered.size(), 1u);
        EXPECT_EQ(g_fakeScheduler.registered[0].triggers, std::vector<std::wstring>{c.trigger});
        EXPECT_EQ(g_fakeScheduler.registered[0].settings, c.settings);
        EXPECT_EQ(g_fakeScheduler.live, 0);
        EXPECT_TRUE(g_fakeScheduler.unexpected.empty());
    }
}

TEST_F(StartupTaskFake, CoInitializeFailureIsReportedBeforeAnythingElse)
{
    RunResult r;
    std::thread([&] {
        // A thread already in the multithreaded apartment cannot enter a single-threaded one.
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CapturedStream err;
        r.result = RegisterStartupTask(FakeTaskScheduler::CreateService, kProgram, err.get());
        r.err = err.Text();
        CoUninitialize();
    }).join();
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.err, "CoInitialize failed with HRESULT: 0x80010106\n");
    EXPECT_TRUE(g_fakeScheduler.calls.empty());
}

// After the registration the thread must be back outside any apartment.
bool ComBalancedAfter(TaskStep failAt)
{
    bool balanced = false;
    g_fakeScheduler.failAt = failAt;
    std::thread([&] {
        CapturedStream err;
        RegisterStartupTask(FakeTaskScheduler::CreateService, kProgram, err.get());
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        balanced = hr == S_OK;
        if (SUCCEEDED(hr))
            CoUninitialize();
    }).join();
    return balanced;
}

TEST_F(StartupTaskFake, ComIsUninitialisedOnEveryPath)
{
    EXPECT_TRUE(ComBalancedAfter(TaskStep::None));
    EXPECT_TRUE(ComBalancedAfter(TaskStep::CreateService));
    EXPECT_TRUE(ComBalancedAfter(TaskStep::PutRunLevel));
    EXPECT_TRUE(ComBalancedAfter(TaskStep::Register));
}

TEST_F(StartupTaskFake, CallerApartmentStaysInitialised)
{
    std::thread([] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        CapturedStream err;
        EXPECT_EQ(RegisterStartupTask(FakeTaskScheduler::CreateService, kProgram, err.get()), 0);
        // Still in the apartment the caller entered: a second entry only counts up.
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }).join();
}

// Wine's own Task Scheduler service: logon triggers are not implemented there
// (E_NOTIMPL), so the real code must report that step and come back.
TEST(StartupTaskWine, FailingServiceIsReportedAndTheProgramGoesOn)
{
    RunResult r;
    std::thread([&] {
        CapturedStream err;
        r.result = RegisterStartupTask(CreateTaskSchedulerService, GetModulePath() + L"Vantrel Glimra.exe", err.get());
        r.err = err.Text();
    }).join();
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.err, "Failed to create trigger with HRESULT: 0x80004001\n");
}

TEST(StartupTaskWine, PlainEntryReturnsToo)
{
    int result = -1;
    std::thread([&] { result = RegisterStartupTask(); }).join();
    EXPECT_EQ(result, 1);
}

}  // namespace
