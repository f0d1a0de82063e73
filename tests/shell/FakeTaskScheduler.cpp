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
// A property the code under test neither reads nor writes.
#define FAKE_UNUSED_PROPERTY(name, type) FAKE_UNUSED(get_##name(type*)) FAKE_UNUSED(put_##name(type))

// True when step is the one told to fail; a failing step hands out no object.
template <class I = IUnknown>
bool Failed(TaskStep step, I** out = nullptr)
{
    if (step == TaskStep::None || !S().Fails(step))
        return false;
    if (out)
        *out = nullptr;
    return true;
}

// Logs a call; true when its step is the one told to fail.
template <class I = IUnknown>
bool Refused(const std::wstring& call, TaskStep step, I** out = nullptr)
{
    Log(call);
    return Failed(step, out);
}

// Logs a property write and keeps the value, unless the write's step is told to fail.
HRESULT Put(const std::wstring& call, const std::wstring& value, std::wstring& field,
            TaskStep step = TaskStep::None)
{
    if (Refused(call + L"(" + value + L")", step))
        return S().failWith;
    field = value;
    return S_OK;
}

// Hands out a new reference to an object the caller keeps as well.
template <class I, class T>
HRESULT Share(T* object, I** out)
{
    object->AddRef();
    *out = object;
    return S_OK;
}

// Logs a call and hands out a new reference to an object the caller keeps as
// well, unless the call's step is told to fail.
template <class I, class T>
HRESULT Hand(const std::wstring& call, TaskStep step, T* object, I** out)
{
    if (Refused(call, step, out))
        return S().failWith;
    return Share(static_cast<I*>(object), out);
}

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

// A collection that owns the items it created, in order. ItemI is the interface
// Create hands them out as.
template <class I, class Item, class ItemI>
class FakeCollection : public FakeObject<I> {
public:
    ~FakeCollection() override
    {
        for (Item* item : items_)
            item->Release();
    }
    std::vector<std::wstring> Describe() const
    {
        std::vector<std::wstring> out;
        for (Item* item : items_)
            out.push_back(item->Describe());
        return out;
    }
    FAKE_UNUSED(get_Count(LONG*))
    FAKE_UNUSED(get_Item(LONG, ItemI**))
    FAKE_UNUSED(get__NewEnum(IUnknown**))
    FAKE_UNUSED(Remove(VARIANT))
    FAKE_UNUSED(Clear())

protected:
    HRESULT Add(Item* item, ItemI** out)
    {
        items_.push_back(item);
        return Share(static_cast<ItemI*>(item), out);
    }

private:
    std::vector<Item*> items_;
};

class FakeLogonTrigger : public FakeObject<ILogonTrigger, ITrigger> {
public:
    explicit FakeLogonTrigger(TASK_TRIGGER_TYPE2 type) : type_(type) {}
    std::wstring Describe() const { return std::to_wstring(type_) + L" " + delay_ + L" " + id_; }

    HRESULT STDMETHODCALLTYPE put_Id(BSTR id) override
    {
        return Put(L"ITrigger::put_Id", Text(id), id_, TaskStep::PutTriggerId);
    }
    HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) override
    {
        return Put(L"ILogonTrigger::put_Delay", Text(delay), delay_, TaskStep::PutDelay);
    }
    FAKE_UNUSED(get_Type(TASK_TRIGGER_TYPE2*))
    FAKE_UNUSED(get_Id(BSTR*))
    FAKE_UNUSED(get_Delay(BSTR*))
    FAKE_UNUSED_PROPERTY(Repetition, IRepetitionPattern*)
    FAKE_UNUSED_PROPERTY(ExecutionTimeLimit, BSTR)
    FAKE_UNUSED_PROPERTY(StartBoundary, BSTR)
    FAKE_UNUSED_PROPERTY(EndBoundary, BSTR)
    FAKE_UNUSED_PROPERTY(Enabled, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(UserId, BSTR)

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

class FakeTriggerCollection : public FakeCollection<ITriggerCollection, FakeLogonTrigger, ITrigger> {
public:
    HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** trigger) override
    {
        if (Refused(L"ITriggerCollection::Create(" + std::to_wstring(type) + L")", TaskStep::CreateTrigger, trigger))
            return S().failWith;
        return Add(new FakeLogonTrigger(type), trigger);
    }
};

class FakePrincipal : public FakeObject<IPrincipal> {
public:
    std::wstring Describe() const { return runLevel_ + L" " + user_; }

    HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE level) override
    {
        return Put(L"IPrincipal::put_RunLevel", std::to_wstring(level), runLevel_, TaskStep::PutRunLevel);
    }
    HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) override { return Put(L"IPrincipal::put_UserId", Text(user), user_); }
    FAKE_UNUSED(get_UserId(BSTR*))
    FAKE_UNUSED(get_RunLevel(TASK_RUNLEVEL_TYPE*))
    FAKE_UNUSED_PROPERTY(Id, BSTR)
    FAKE_UNUSED_PROPERTY(DisplayName, BSTR)
    FAKE_UNUSED_PROPERTY(LogonType, TASK_LOGON_TYPE)
    FAKE_UNUSED_PROPERTY(GroupId, BSTR)

private:
    std::wstring runLevel_ = std::to_wstring(TASK_RUNLEVEL_LUA);
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
    }                                                                              \
    FAKE_UNUSED(get_##name(type*))
    FAKE_SETTING(StopIfGoingOnBatteries, VARIANT_BOOL, Bool)
    FAKE_SETTING(DisallowStartIfOnBatteries, VARIANT_BOOL, Bool)
    FAKE_SETTING(AllowDemandStart, VARIANT_BOOL, Bool)
    FAKE_SETTING(StartWhenAvailable, VARIANT_BOOL, Bool)
    FAKE_SETTING(MultipleInstances, TASK_INSTANCES_POLICY, std::to_wstring)
    FAKE_SETTING(ExecutionTimeLimit, BSTR, Text)
#undef FAKE_SETTING
    FAKE_UNUSED_PROPERTY(RestartInterval, BSTR)
    FAKE_UNUSED_PROPERTY(RestartCount, INT)
    FAKE_UNUSED_PROPERTY(AllowHardTerminate, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(XmlText, BSTR)
    FAKE_UNUSED_PROPERTY(RunOnlyIfNetworkAvailable, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(Enabled, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(DeleteExpiredTaskAfter, BSTR)
    FAKE_UNUSED_PROPERTY(Priority, INT)
    FAKE_UNUSED_PROPERTY(Compatibility, TASK_COMPATIBILITY)
    FAKE_UNUSED_PROPERTY(Hidden, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(IdleSettings, IIdleSettings*)
    FAKE_UNUSED_PROPERTY(RunOnlyIfIdle, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(WakeToRun, VARIANT_BOOL)
    FAKE_UNUSED_PROPERTY(NetworkSettings, INetworkSettings*)

private:
    std::wstring set_;
};

class FakeExecAction : public FakeObject<IExecAction, IAction> {
public:
    std::wstring Describe() const { return L"0 " + path_ + L" " + args_ + L" " + dir_; }

    HRESULT STDMETHODCALLTYPE put_Path(BSTR path) override
    {
        return Put(L"IExecAction::put_Path", Text(path), path_, TaskStep::PutPath);
    }
    HRESULT STDMETHODCALLTYPE put_Arguments(BSTR args) override
    {
        return Put(L"IExecAction::put_Arguments", Text(args), args_, TaskStep::PutArguments);
    }
    HRESULT STDMETHODCALLTYPE put_WorkingDirectory(BSTR dir) override
    {
        return Put(L"IExecAction::put_WorkingDirectory", Text(dir), dir_);
    }
    FAKE_UNUSED(get_Type(TASK_ACTION_TYPE*))
    FAKE_UNUSED(get_Path(BSTR*))
    FAKE_UNUSED(get_Arguments(BSTR*))
    FAKE_UNUSED(get_WorkingDirectory(BSTR*))
    FAKE_UNUSED_PROPERTY(Id, BSTR)

protected:
    bool Offers(REFIID iid) override
    {
        if (iid == __uuidof(IExecAction))
            return !Refused(L"IAction::QueryInterface(IExecAction)", TaskStep::QueryExecAction);
        return iid == __uuidof(IAction);
    }

private:
    std::wstring path_ = L"-", args_ = L"-", dir_ = L"-";
};

class FakeActionCollection : public FakeCollection<IActionCollection, FakeExecAction, IAction> {
public:
    HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** action) override
    {
        if (Refused(L"IActionCollection::Create(" + std::to_wstring(type) + L")", TaskStep::CreateAction, action))
            return S().failWith;
        if (type != TASK_ACTION_EXEC)
            return Unexpected("Create(non-exec action)");
        return Add(new FakeExecAction, action);
    }
    FAKE_UNUSED_PROPERTY(XmlText, BSTR)
    FAKE_UNUSED_PROPERTY(Context, BSTR)
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
        return Hand(L"ITaskDefinition::get_Triggers", TaskStep::GetTriggers, triggers_, out);
    }
    HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** out) override
    {
        return Hand(L"ITaskDefinition::get_Principal", TaskStep::GetPrincipal, principal_, out);
    }
    HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override
    {
        return Hand(L"ITaskDefinition::get_Settings", TaskStep::GetSettings, settings_, out);
    }
    HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override
    {
        return Hand(L"ITaskDefinition::get_Actions", TaskStep::GetActions, actions_, out);
    }
    FAKE_UNUSED_PROPERTY(RegistrationInfo, IRegistrationInfo*)
    FAKE_UNUSED_PROPERTY(Data, BSTR)
    FAKE_UNUSED_PROPERTY(XmlText, BSTR)
    FAKE_UNUSED(put_Triggers(ITriggerCollection*))
    FAKE_UNUSED(put_Settings(ITaskSettings*))
    FAKE_UNUSED(put_Principal(IPrincipal*))
    FAKE_UNUSED(put_Actions(IActionCollection*))

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
    FAKE_UNUSED_PROPERTY(Enabled, VARIANT_BOOL)
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
        if (Refused(L"ITaskFolder::RegisterTaskDefinition(" + Text(name) + L", " + std::to_wstring(flags) + L", " +
                        Variant(user) + L", " + Variant(password) + L", " + std::to_wstring(logon) + L", " +
                        Variant(sddl) + L")",
                    TaskStep::Register, task))
            return S().failWith;
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
        if (Refused(L"ITaskService::Connect(" + Variant(server) + L", " + Variant(user) + L", " + Variant(domain) +
                        L", " + Variant(password) + L")",
                    TaskStep::Connect))
            return S().failWith;
        connected_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** folder) override
    {
        return Connected(L"ITaskService::GetFolder(" + Text(path) + L")", TaskStep::GetFolder, folder,
                         [&] { return new FakeFolder(Text(path)); });
    }
    HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** definition) override
    {
        return Connected(L"ITaskService::NewTask(" + std::to_wstring(flags) + L")", TaskStep::NewTask, definition,
                         [] { return new FakeDefinition; });
    }
    FAKE_UNUSED(GetRunningTasks(LONG, IRunningTaskCollection**))
    FAKE_UNUSED(get_Connected(VARIANT_BOOL*))
    FAKE_UNUSED(get_TargetServer(BSTR*))
    FAKE_UNUSED(get_ConnectedUser(BSTR*))
    FAKE_UNUSED(get_ConnectedDomain(BSTR*))
    FAKE_UNUSED(get_HighestVersion(DWORD*))

private:
    // A new object from a connected service, unless the step is told to fail.
    template <class I, class Make>
    HRESULT Connected(const std::wstring& call, TaskStep step, I** out, Make make)
    {
        Log(call);
        if (!connected_)
            return kNotConnected;
        if (Failed(step, out))
            return S().failWith;
        *out = make();
        return S_OK;
    }

    bool connected_ = false;
};

}  // namespace

HRESULT FakeTaskScheduler::CreateService(ITaskService** service)
{
    if (Refused(L"CreateService", TaskStep::CreateService, service))
        return S().failWith;
    *service = new FakeService;
    return S_OK;
}
