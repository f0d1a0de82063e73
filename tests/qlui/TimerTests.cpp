// Control timers and the animation timer: ids, dispatch and the death of a
// control whose timer runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "QluiTestSupport.h"

namespace {

// While set, freed memory of this program is never handed out again: its
// bytes become 0xFF (an empty vector, a free lock) and its first word points to
// a vtable whose every slot counts a call, so a virtual call on a deleted
// control is seen instead of passing silently or faulting somewhere else.
std::atomic<bool> g_poisonFrees{false};
std::atomic<int> g_callsOnFreed{0};

int CountCallOnFreed()
{
    ++g_callsOnFreed;
    return 0;
}

using Slot = int (*)();
Slot g_freedVtable[64];

class PoisonScope {
public:
    PoisonScope()
    {
        for (Slot& slot : g_freedVtable)
            slot = &CountCallOnFreed;
        g_poisonFrees = true;
    }
    ~PoisonScope() { g_poisonFrees = false; }
    PoisonScope(const PoisonScope&) = delete;
    PoisonScope& operator=(const PoisonScope&) = delete;
};

void FreeOrPoison(void* p) noexcept
{
    if (p == nullptr)
        return;
    if (g_poisonFrees) {
        size_t size = _msize(p);
        std::memset(p, 0xFF, size);
        if (size >= sizeof(void*)) {
            Slot* vtable = g_freedVtable;
            std::memcpy(p, &vtable, sizeof(vtable));
        }
        return;
    }
    std::free(p);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { FreeOrPoison(p); }
void operator delete(void* p, std::size_t) noexcept { FreeOrPoison(p); }

namespace {

// Public, so that the ways a control dies can be listed as data.
class Timers : public WindowTest {
public:
    TestControl* Add(UINT list = 1) { return WindowTest::Add(1, CRect(0, 0, 10, 10), list); }
    // A child of container, attached to the window's manager.
    TestControl* AddChild(TestControl* container)
    {
        auto* child = new TestControl(container, 2, CRect(0, 0, 5, 5));
        child->SetManager(&window.pm);
        container->AddChild(child);
        return child;
    }
    static bool AllTicked(const std::vector<TestControl*>& controls)
    {
        for (TestControl* control : controls) {
            if (control->timers.load() == 0)
                return false;
        }
        return true;
    }
};

} // namespace

// Ids are taken from the free ones and never from the message strip's (66, 88,
// 99): every live timer ticks, also after ids wrapped past 239 while older
// timers still held theirs.
TEST_F(Timers, EveryLiveTimerGetsAnIdOfItsOwn)
{
    std::vector<TestControl*> first;
    for (int i = 0; i < 200; ++i) {
        first.push_back(Add());
        ASSERT_TRUE(window.pm.SetTimer(first.back(), 1, 10)) << i;
    }
    EXPECT_TRUE(PumpUntil([&] { return AllTicked(first); }));

    for (int i = 0; i < 150; ++i)
        window.pm.KillTimer(first[i]);
    std::vector<TestControl*> second;
    for (int i = 0; i < 100; ++i) {
        second.push_back(Add());
        ASSERT_TRUE(window.pm.SetTimer(second.back(), 1, 10)) << i;
    }
    // Ending the older timers must leave every newer one running.
    for (int i = 150; i < 200; ++i)
        window.pm.KillTimer(first[i]);
    PumpMessages(20);
    for (TestControl* control : second)
        control->timers = 0;
    EXPECT_TRUE(PumpUntil([&] { return AllTicked(second); }));
}

// However a control dies, its timer records and animation entry go with it: a
// later tick of its old timer id, or of the animation timer, touches nothing
// freed.
TEST_F(Timers, ADeletedControlGetsNoFurtherTicks)
{
    struct Death {
        const char* how;
        std::function<TestControl*(Timers&)> prepare;   // returns the victim
        std::function<void(Timers&, TestControl*)> kill;
    };
    const Death deaths[] = {
        {"PaintManager::RemoveControl", [](Timers& t) { return t.Add(); },
         [](Timers& t, TestControl* victim) { t.window.pm.RemoveControl(victim); }},
        {"MControl::RemoveControl", [](Timers& t) { return t.AddChild(t.Add()); },
         [](Timers&, TestControl* victim) {
             static_cast<MControl*>(victim->GetParantObject())->RemoveControl(victim);
         }},
        {"MControl::RemoveAllControl", [](Timers& t) { return t.AddChild(t.Add()); },
         [](Timers&, TestControl* victim) { static_cast<MControl*>(victim->GetParantObject())->RemoveAllControl(); }},
        {"the parent's destructor", [](Timers& t) { return t.AddChild(t.Add()); },
         [](Timers& t, TestControl* victim) {
             t.window.pm.RemoveControl(static_cast<MControl*>(victim->GetParantObject()));
         }},
        {"PaintManager::ClearControls", [](Timers& t) { return t.Add(); },
         [](Timers& t, TestControl*) { t.window.pm.ClearControls(); }},
        {"PaintManager::ClearAreaControls", [](Timers& t) { return t.Add(0); },
         [](Timers& t, TestControl*) { t.window.pm.ClearAreaControls(); }},
        {"PaintManager::ClearAllControls", [](Timers& t) { return t.Add(0); },
         [](Timers& t, TestControl*) { t.window.pm.ClearAllControls(); }},
    };
    for (const Death& death : deaths) {
        SCOPED_TRACE(death.how);
        g_callsOnFreed = 0;
        TestControl* victim = death.prepare(*this);
        ASSERT_TRUE(window.pm.SetTimer(victim, 1, 1000));
        window.pm.AddMTimer(victim);
        UINT animation = window.pm.SetMTimer(1);
        ASSERT_NE(0u, animation);
        ASSERT_TRUE(PumpUntil([&] { return victim->timers.load() >= 1; }));
        {
            PoisonScope poison;
            death.kill(*this, victim);
            // The dead control's Win32 id, whichever it was.
            for (UINT id = 1; id < 240; ++id)
                ::SendMessageW(hwnd, WM_TIMER, id, 0);
            PumpMessages(30);
        }
        window.pm.KillMTimer(animation);
        EXPECT_EQ(0, g_callsOnFreed.load());
        window.pm.ClearAllControls();
        PumpMessages(10);
    }
}

// Animation ticks reach the controls on the window's thread, where the list
// locks are taken in one order; the multimedia timer's thread only hands them on.
TEST_F(Timers, AnimationTicksReachControlsOnTheWindowThread)
{
    TestControl* animated = Add();
    window.pm.AddMTimer(animated);
    UINT id = window.pm.SetMTimer(5);
    ASSERT_NE(0u, id);
    EXPECT_TRUE(PumpUntil([&] { return animated->timers.load() >= 3; }));
    window.pm.KillMTimer(id);
    EXPECT_EQ(::GetCurrentThreadId(), animated->timerThread.load());
    EXPECT_TRUE(window.pm.DeleteFSTimer(animated));
    EXPECT_FALSE(window.pm.DeleteFSTimer(animated));
}
