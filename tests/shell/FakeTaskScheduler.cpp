#include "FakeTaskScheduler.h"

#include <oleauto.h>

#include "LogonTrigger.h"

FakeTaskScheduler g_fakeScheduler;

namespace {

FakeTaskScheduler& S()
{
    return g_fakeScheduler;
}

std::wstring Text(BSTR b)
{
    return b ? std::wstring(b, SysStringLen(b)) : L"(null)";
}

std::wstring Bool(VARIANT_BOOL v)
{
    return v == VARIANT_TRUE ? L"true" : v == VARIANT_FALSE ? L"false" : L"?";
}

std::wstring Variant(const VARIANT& v)
{
    if (v.vt == VT_EMPTY)
        return L"empty";
    if (v.vt == VT_BSTR)
        return L"\"" + Text(v.bstrVal) + L"\"";
    return L"vt" + std::to_wstring(v.vt);
}

void Log(const std::wstring& call)
{
    S().calls.push_back(call);
}

HRESULT Unexpected(const char* what)
{
    S().unexpected.push_back(std::wstring(what, what + strlen(what)));
    return E_NOTIMPL;
}

#define FAKE_UNUSED(signature) \
    HRESULT STDMETHODCALLTYPE signature override { return Unexpected(#signature); }

// IUnknown and IDispatch for one interface chain I (with its bases Bases...).
template <class I, class... Bases>
class FakeObject : public I {
public:
    FakeObject() { ++S().live, ++S().created; }
    virtual ~FakeObject() { --S().live; }
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG r = --refs_;
        if (r == 0)
            delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || Offers(iid)) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    FAKE_UNUSED(GetTypeInfoCount(UINT*))
    FAKE_UNUSED(GetTypeInfo(UINT, LCID, ITypeInfo**))
    FAKE_UNUSED(GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*))
    FAKE_UNUSED(Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))

protected:
    virtual bool Offers(REFIID iid) { return iid == __uuidof(I) || ((iid == __uuidof(Bases)) || ...); }

private:
    ULONG refs_ = 1;
};

// Hands out a new reference to an object the caller keeps as well.
template <class I, class T>
HRESULT Share(T* object, I** out)
{
    object->AddRef();
    *out = object;
    return S_OK;
}

// A failing step hands out no object.
template <class I>
HRESULT Fail(I** out)
{
    if (out)
        *out = nullptr;
    return S().failWith;
}

class FakeLogonTrigger : public FakeObject<ILogonTrigger, ITrigger> {
public:
    explicit FakeLogonTrigger(TASK_TRIGGER_TYPE2 type) : type_(type) {}
    std::wstring Describe() const { return std::to_wstring(type_) + L" " + delay_ + L" " + id_; }

    HRESULT STDMETHODCALLTYPE put_Id(BSTR id) override
    {
        Log(L"ITrigger::put_Id(" + Text(id) + L")");
        if (S().Fails(TaskStep::PutTriggerId))
            return S().failWith;
        id_ = Text(id);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) override
    {
        Log(L"ILogonTrigger::put_Delay(" + Text(delay) + L")");
        if (S().Fails(TaskStep::PutDelay))
            return S().failWith;
        delay_ = Text(delay);
        return S_OK;
    }
    FAKE_UNUSED(get_Type(TASK_TRIGGER_TYPE2*))
    FAKE_UNUSED(get_Id(BSTR*))
    FAKE_UNUSED(get_Repetition(IRepetitionPattern**))
    FAKE_UNUSED(put_Repetition(IRepetitionPattern*))
    FAKE_UNUSED(get_ExecutionTimeLimit(BSTR*))
    FAKE_UNUSED(put_ExecutionTimeLimit(BSTR))
    FAKE_UNUSED(get_StartBoundary(BSTR*))
    FAKE_UNUSED(put_StartBoundary(BSTR))
    FAKE_UNUSED(get_EndBoundary(BSTR*))
    FAKE_UNUSED(put_EndBoundary(BSTR))
    FAKE_UNUSED(get_Enabled(VARIANT_BOOL*))
    FAKE_UNUSED(put_Enabled(VARIANT_BOOL))
    FAKE_UNUSED(get_Delay(BSTR*))
    FAKE_UNUSED(get_UserId(BSTR*))
    FAKE_UNUSED(put_UserId(BSTR))

protected:
    bool Offers(REFIID iid) override
    {
        if (iid == __uuidof(ILogonTrigger))
            return type_ == TASK_TRIGGER_LOGON && S().logonTriggerOffersInterface;
        return iid == __uuidof(ITrigger);
    }

private:
    TASK_TRIGGER_TYPE2 type_;
    std::wstring delay_ = L"-";
    std::wstring id_ = L"-";
};

class FakeTriggerCollection : public FakeObject<ITriggerCollection> {
public:
    ~FakeTriggerCollection() override
    {
        for (FakeLogonTrigger* t : triggers_)
            t->Release();
    }
    std::vector<std::wstring> Describe() const
    {
        std::vector<std::wstring> out;
        for (FakeLogonTrigger* t : triggers_)
            out.push_back(t->Describe());
        return out;
    }

    HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** trigger) override
    {
        Log(L"ITriggerCollection::Create(" + std::to_wstring(type) + L")");
        if (S().Fails(TaskStep::CreateTrigger))
            return Fail(trigger);
        auto* t = new FakeLogonTrigger(type);
        triggers_.push_back(t);
        return Share(static_cast<ITrigger*>(t), trigger);
    }
    FAKE_UNUSED(get_Count(LONG*))
    FAKE_UNUSED(get_Item(LONG, ITrigger**))
    FAKE_UNUSED(get__NewEnum(IUnknown**))
    FAKE_UNUSED(Remove(VARIANT))
    FAKE_UNUSED(Clear())

private:
    std::vector<FakeLogonTrigger*> triggers_;
};

class FakePrincipal : public FakeObject<IPrincipal> {
public:
    std::wstring Describe() const { return std::to_wstring(runLevel_) + L" " + user_; }

    HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE level) override
    {
        Log(L"IPrincipal::put_RunLevel(" + std::to_wstring(level) + L")");
        if (S().Fails(TaskStep::PutRunLevel))
            return S().failWith;
        runLevel_ = level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) override
    {
        Log(L"IPrincipal::put_UserId(" + Text(user) + L")");
        user_ = Text(user);
        return S_OK;
    }
    FAKE_UNUSED(get_Id(BSTR*))
    FAKE_UNUSED(put_Id(BSTR))
    FAKE_UNUSED(get_DisplayName(BSTR*))
    FAKE_UNUSED(put_DisplayName(BSTR))
    FAKE_UNUSED(get_UserId(BSTR*))
    FAKE_UNUSED(get_LogonType(TASK_LOGON_TYPE*))
    FAKE_UNUSED(put_LogonType(TASK_LOGON_TYPE))
    FAKE_UNUSED(get_GroupId(BSTR*))
    FAKE_UNUSED(put_GroupId(BSTR))
    FAKE_UNUSED(get_RunLevel(TASK_RUNLEVEL_TYPE*))

private:
    TASK_RUNLEVEL_TYPE runLevel_ = TASK_RUNLEVEL_LUA;
    std::wstring user_ = L"-";
};

class FakeSettings : public FakeObject<ITaskSettings> {
public:
    const std::wstring& Describe() const { return set_; }

#define FAKE_SETTING(name, type, show)                                             \
    HRESULT STDMETHODCALLTYPE put_##name(type v) override                          \
    {                                                                              \
        const std::wstring value = show(v);                                        \
        Log(L"ITaskSettings::put_" #name "(" + value + L")");                      \
        set_ += (set_.empty() ? L"" : L" ") + std::wstring(L"" #name "=") + value; \
        return S_OK;                                                               \
    }
    FAKE_SETTING(StopIfGoingOnBatteries, VARIANT_BOOL, Bool)
    FAKE_SETTING(DisallowStartIfOnBatteries, VARIANT_BOOL, Bool)
    FAKE_SETTING(AllowDemandStart, VARIANT_BOOL, Bool)
    FAKE_SETTING(StartWhenAvailable, VARIANT_BOOL, Bool)
    FAKE_SETTING(MultipleInstances, TASK_INSTANCES_POLICY, std::to_wstring)
    FAKE_SETTING(ExecutionTimeLimit, BSTR, Text)
#undef FAKE_SETTING
    FAKE_UNUSED(get_AllowDemandStart(VARIANT_BOOL*))
    FAKE_UNUSED(get_RestartInterval(BSTR*))
    FAKE_UNUSED(put_RestartInterval(BSTR))
    FAKE_UNUSED(get_RestartCount(INT*))
    FAKE_UNUSED(put_RestartCount(INT))
    FAKE_UNUSED(get_MultipleInstances(TASK_INSTANCES_POLICY*))
    FAKE_UNUSED(get_StopIfGoingOnBatteries(VARIANT_BOOL*))
    FAKE_UNUSED(get_DisallowStartIfOnBatteries(VARIANT_BOOL*))
    FAKE_UNUSED(get_AllowHardTerminate(VARIANT_BOOL*))
    FAKE_UNUSED(put_AllowHardTerminate(VARIANT_BOOL))
    FAKE_UNUSED(get_StartWhenAvailable(VARIANT_BOOL*))
    FAKE_UNUSED(get_XmlText(BSTR*))
    FAKE_UNUSED(put_XmlText(BSTR))
    FAKE_UNUSED(get_RunOnlyIfNetworkAvailable(VARIANT_BOOL*))
    FAKE_UNUSED(put_RunOnlyIfNetworkAvailable(VARIANT_BOOL))
    FAKE_UNUSED(get_ExecutionTimeLimit(BSTR*))
    FAKE_UNUSED(get_Enabled(VARIANT_BOOL*))
    FAKE_UNUSED(put_Enabled(VARIANT_BOOL))
    FAKE_UNUSED(get_DeleteExpiredTaskAfter(BSTR*))
    FAKE_UNUSED(put_DeleteExpiredTaskAfter(BSTR))
    FAKE_UNUSED(get_Priority(INT*))
    FAKE_UNUSED(put_Priority(INT))
    FAKE_UNUSED(get_Compatibility(TASK_COMPATIBILITY*))
    FAKE_UNUSED(put_Compatibility(TASK_COMPATIBILITY))
    FAKE_UNUSED(get_Hidden(VARIANT_BOOL*))
    FAKE_UNUSED(put_Hidden(VARIANT_BOOL))
    FAKE_UNUSED(get_IdleSettings(IIdleSettings**))
    FAKE_UNUSED(put_IdleSettings(IIdleSettings*))
    FAKE_UNUSED(get_RunOnlyIfIdle(VARIANT_BOOL*))
    FAKE_UNUSED(put_RunOnlyIfIdle(VARIANT_BOOL))
    FAKE_UNUSED(get_WakeToRun(VARIANT_BOOL*))
    FAKE_UNUSED(put_WakeToRun(VARIANT_BOOL))
    FAKE_UNUSED(get_NetworkSettings(INetworkSettings**))
    FAKE_UNUSED(put_NetworkSettings(INetworkSettings*))

private:
    std::wstring set_;
};

class FakeExecAction : public FakeObject<IExecAction, IAction> {
public:
    std::wstring Describe() const { return L"0 " + path_ + L" " + args_ + L" " + dir_; }

    HRESULT STDMETHODCALLTYPE put_Path(BSTR path) override
    {
        Log(L"IExecAction::put_Path(" + Text(path) + L")");
        if (S().Fails(TaskStep::PutPath))
            return S().failWith;
        path_ = Text(path);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Arguments(BSTR args) override
    {
        Log(L"IExecAction::put_Arguments(" + Text(args) + L")");
        if (S().Fails(TaskStep::PutArguments))
            return S().failWith;
        args_ = Text(args);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR dir) override
    {
        Log(L"IExecAction::put_WorkingDirectory(" + Text(dir) + L")");
        dir_ = Text(dir);
        return S_OK;
    }
    FAKE_UNUSED(get_Id(BSTR*))
    FAKE_UNUSED(put_Id(BSTR))
    FAKE_UNUSED(get_Type(TASK_ACTION_TYPE*))
    FAKE_UNUSED(get_Path(BSTR*))
    FAKE_UNUSED(get_Arguments(BSTR*))
    FAKE_UNUSED(get_WorkingDirectory(BSTR*))

protected:
    bool Offers(REFIID iid) override
    {
        if (iid == __uuidof(IExecAction)) {
            Log(L"IAction::QueryInterface(IExecAction)");
            return !S().Fails(TaskStep::QueryExecAction);
        }
        return iid == __uuidof(IAction);
    }

private:
    std::wstring path_ = L"-", args_ = L"-", dir_ = L"-";
};

class FakeActionCollection : public FakeObject<IActionCollection> {
public:
    ~FakeActionCollection() override
    {
        for (FakeExecAction* a : actions_)
            a->Release();
    }
    std::vector<std::wstring> Describe() const
    {
        std::vector<std::wstring> out;
        for (FakeExecAction* a : actions_)
            out.push_back(a->Describe());
        return out;
    }

    HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** action) override
    {
        Log(L"IActionCollection::Create(" + std::to_wstring(type) + L")");
        if (S().Fails(TaskStep::CreateAction))
            return Fail(action);
        if (type != TASK_ACTION_EXEC)
            return Unexpected("Create(non-exec action)");
        auto* a = new FakeExecAction;
        actions_.push_back(a);
        return Share(static_cast<IAction*>(a), action);
    }
    FAKE_UNUSED(get_Count(LONG*))
    FAKE_UNUSED(get_Item(LONG, IAction**))
    FAKE_UNUSED(get__NewEnum(IUnknown**))
    FAKE_UNUSED(get_XmlText(BSTR*))
    FAKE_UNUSED(put_XmlText(BSTR))
    FAKE_UNUSED(Remove(VARIANT))
    FAKE_UNUSED(Clear())
    FAKE_UNUSED(get_Context(BSTR*))
    FAKE_UNUSED(put_Context(BSTR))

private:
    std::vector<FakeExecAction*> actions_;
};

class FakeDefinition : public FakeObject<ITaskDefinition> {
public:
    FakeDefinition()
        : triggers_(new FakeTriggerCollection),
          principal_(new FakePrincipal),
          settings_(new FakeSettings),
          actions_(new FakeActionCollection)
    {
    }
    ~FakeDefinition() override
    {
        triggers_->Release();
        principal_->Release();
        settings_->Release();
        actions_->Release();
    }
    void Describe(RegisteredTaskRecord& r) const
    {
        r.triggers = triggers_->Describe();
        r.principal = principal_->Describe();
        r.settings = settings_->Describe();
        r.actions = actions_->Describe();
    }

    HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** out) override
    {
        Log(L"ITaskDefinition::get_Triggers");
        if (S().Fails(TaskStep::GetTriggers))
            return Fail(out);
        return Share(static_cast<ITriggerCollection*>(triggers_), out);
    }
    HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** out) override
    {
        Log(L"ITaskDefinition::get_Principal");
        if (S().Fails(TaskStep::GetPrincipal))
            return Fail(out);
        return Share(static_cast<IPrincipal*>(principal_), out);
    }
    HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override
    {
        Log(L"ITaskDefinition::get_Settings");
        if (S().Fails(TaskStep::GetSettings))
            return Fail(out);
        return Share(static_cast<ITaskSettings*>(settings_), out);
    }
    HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override
    {
        Log(L"ITaskDefinition::get_Actions");
        if (S().Fails(TaskStep::GetActions))
            return Fail(out);
        return Share(static_cast<IActionCollection*>(actions_), out);
    }
    FAKE_UNUSED(get_RegistrationInfo(IRegistrationInfo**))
    FAKE_UNUSED(put_RegistrationInfo(IRegistrationInfo*))
    FAKE_UNUSED(put_Triggers(ITriggerCollection*))
    FAKE_UNUSED(put_Settings(ITaskSettings*))
    FAKE_UNUSED(get_Data(BSTR*))
    FAKE_UNUSED(put_Data(BSTR))
    FAKE_UNUSED(put_Principal(IPrincipal*))
    FAKE_UNUSED(put_Actions(IActionCollection*))
    FAKE_UNUSED(get_XmlText(BSTR*))
    FAKE_UNUSED(put_XmlText(BSTR))

private:
    FakeTriggerCollection* triggers_;
    FakePrincipal* principal_;
    FakeSettings* settings_;
    FakeActionCollection* actions_;
};

class FakeRegisteredTask : public FakeObject<IRegisteredTask> {
public:
    FAKE_UNUSED(get_Name(BSTR*))
    FAKE_UNUSED(get_Path(BSTR*))
    FAKE_UNUSED(get_State(TASK_STATE*))
    FAKE_UNUSED(get_Enabled(VARIANT_BOOL*))
    FAKE_UNUSED(put_Enabled(VARIANT_BOOL))
    FAKE_UNUSED(Run(VARIANT, IRunningTask**))
    FAKE_UNUSED(RunEx(VARIANT, LONG, LONG, BSTR, IRunningTask**))
    FAKE_UNUSED(GetInstances(LONG, IRunningTaskCollection**))
    FAKE_UNUSED(get_LastRunTime(DATE*))
    FAKE_UNUSED(get_LastTaskResult(LONG*))
    FAKE_UNUSED(get_NumberOfMissedRuns(LONG*))
    FAKE_UNUSED(get_NextRunTime(DATE*))
    FAKE_UNUSED(get_Definition(ITaskDefinition**))
    FAKE_UNUSED(get_Xml(BSTR*))
    FAKE_UNUSED(GetSecurityDescriptor(LONG, BSTR*))
    FAKE_UNUSED(SetSecurityDescriptor(BSTR, LONG))
    FAKE_UNUSED(Stop(LONG))
    FAKE_UNUSED(GetRunTimes(const LPSYSTEMTIME, const LPSYSTEMTIME, DWORD*, LPSYSTEMTIME*))
};

class FakeFolder : public FakeObject<ITaskFolder> {
public:
    explicit FakeFolder(std::wstring path) : path_(std::move(path)) {}

    HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR name, ITaskDefinition* definition, LONG flags,
                                                     VARIANT user, VARIANT password, TASK_LOGON_TYPE logon,
                                                     VARIANT sddl, IRegisteredTask** task) override
    {
        Log(L"ITaskFolder::RegisterTaskDefinition(" + Text(name) + L", " + std::to_wstring(flags) + L", " +
            Variant(user) + L", " + Variant(password) + L", " + std::to_wstring(logon) + L", " +
            Variant(sddl) + L")");
        if (S().Fails(TaskStep::Register))
            return Fail(task);
        RegisteredTaskRecord r;
        r.folder = path_;
        r.name = Text(name);
        r.flags = flags;
        r.userType = user.vt;
        r.passwordType = password.vt;
        r.logonType = logon;
        r.sddl = Variant(sddl);
        // Only this fake's own definitions can be read back, as with the real service.
        static_cast<FakeDefinition*>(definition)->Describe(r);
        S().registered.push_back(r);
        if (task)
            *task = new FakeRegisteredTask;
        return S_OK;
    }
    FAKE_UNUSED(get_Name(BSTR*))
    FAKE_UNUSED(get_Path(BSTR*))
    FAKE_UNUSED(GetFolder(BSTR, ITaskFolder**))
    FAKE_UNUSED(GetFolders(LONG, ITaskFolderCollection**))
    FAKE_UNUSED(CreateFolder(BSTR, VARIANT, ITaskFolder**))
    FAKE_UNUSED(DeleteFolder(BSTR, LONG))
    FAKE_UNUSED(GetTask(BSTR, IRegisteredTask**))
    FAKE_UNUSED(GetTasks(LONG, IRegisteredTaskCollection**))
    FAKE_UNUSED(DeleteTask(BSTR, LONG))
    FAKE_UNUSED(RegisterTask(BSTR, BSTR, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT, IRegisteredTask**))
    FAKE_UNUSED(GetSecurityDescriptor(LONG, BSTR*))
    FAKE_UNUSED(SetSecurityDescriptor(BSTR, LONG))

private:
    std::wstring path_;
};

// The service refuses folder and task requests until it is connected, like the real one.
constexpr HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_ONLY_IF_CONNECTED);

class FakeService : public FakeObject<ITaskService> {
public:
    HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain, VARIANT password) override
    {
        Log(L"ITaskService::Connect(" + Variant(server) + L", " + Variant(user) + L", " + Variant(domain) +
            L", " + Variant(password) + L")");
        if (S().Fails(TaskStep::Connect))
            return S().failWith;
        connected_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** folder) override
    {
        Log(L"ITaskService::GetFolder(" + Text(path) + L")");
        if (!connected_)
            return kNotConnected;
        if (S().Fails(TaskStep::GetFolder))
            return Fail(folder);
        *folder = new FakeFolder(Text(path));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** definition) override
    {
        Log(L"ITaskService::NewTask(" + std::to_wstring(flags) + L")");
        if (!connected_)
            return kNotConnected;
        if (S().Fails(TaskStep::NewTask))
            return Fail(definition);
        *definition = new FakeDefinition;
        return S_OK;
    }
    FAKE_UNUSED(GetRunningTasks(LONG, IRunningTaskCollection**))
    FAKE_UNUSED(get_Connected(VARIANT_BOOL*))
    FAKE_UNUSED(get_TargetServer(BSTR*))
    FAKE_UNUSED(get_ConnectedUser(BSTR*))
    FAKE_UNUSED(get_ConnectedDomain(BSTR*))
    FAKE_UNUSED(get_HighestVersion(DWORD*))

private:
    bool connected_ = false;
};

}  // namespace

HRESULT FakeTaskScheduler::CreateService(ITaskService** service)
{
    Log(L"CreateService");
    if (S().Fails(TaskStep::CreateService))
        return Fail(service);
    *service = new FakeService;
    return S_OK;
}
