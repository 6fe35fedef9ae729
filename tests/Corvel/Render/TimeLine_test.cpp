#include "Corvel/Render/Easing.h"
#include "Corvel/Render/TimeLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

namespace {

using ui::CTimeLine;
using ui::CTimeLineDecay;
using ui::CTimeLineTween;
using ui::TimeLineList;

// Freed memory is overwritten, so a timeline touched after its deletion
// crashes (its vtable is gone) instead of passing by luck.
class PoisonTween : public CTimeLineTween {
public:
    static void operator delete(void* p, size_t n)
    {
        memset(p, 0xDD, n);
        ::operator delete(p);
    }
};

PoisonTween* NewLinear(float from, float to, float duration, short mode = 0)
{
    auto* t = new PoisonTween;
    t->SetEasing(ui::kEaseLinear, mode, duration);
    t->AddValue(L"x", from, to);
    return t;
}

TEST(TimeLine, ValueTableOperations)
{
    CTimeLineTween t;
    EXPECT_FALSE(t.HasValues());
    EXPECT_EQ(0.0f, t.GetValue(L"none"));
    t.AddValue(L"a", 1.0f, 2.0f);
    EXPECT_TRUE(t.HasValues());
    EXPECT_EQ(1.0f, t.GetValue(L"a"));
    t.SetValue(L"a", 7.0f);
    t.SetValueRange(L"a", 3.0f, 4.0f);
    EXPECT_EQ(7.0f, t.GetValue(L"a"));
    t.AddValue(L"a", 5.0f, 6.0f); // present: current = from
    EXPECT_EQ(5.0f, t.GetValue(L"a"));
    t.SetValueAll(L"a", 9.0f, 1.0f, 2.0f);
    EXPECT_EQ(9.0f, t.GetValue(L"a"));
    t.SetValue(L"absent", 3.0f); // ignored
    EXPECT_EQ(1u, t.Values().size());
    t.RemoveValue(L"a");
    EXPECT_FALSE(t.HasValues());
    t.AddValue(L"b", 0, 1);
    t.ClearValues();
    EXPECT_FALSE(t.HasValues());
    // Defaults of a new tween: expo, out, no duration, started, detached.
    EXPECT_EQ(ui::GetEasing(ui::kEaseExpo), t.GetEasing());
    EXPECT_EQ(1, t.GetMode());
    EXPECT_TRUE(t.IsStarted());
    EXPECT_TRUE(t.IsDetached());
    t.SetEasing(42, 2, 10.0f); // unknown type keeps the curve
    EXPECT_EQ(ui::GetEasing(ui::kEaseExpo), t.GetEasing());
    EXPECT_EQ(2, t.GetMode());
}

TEST(TimeLine, TweenFollowsItsCurveFrameByFrameThenLeavesTheList)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseQuad, 0, 64.0f);
    t.AddValue(L"x", 0.0f, 100.0f);
    std::vector<float> seen;
    ASSERT_TRUE(t.Start(&list, [&](CTimeLine* tl) {
        seen.push_back(tl->GetValue(L"x"));
        return true;
    }));
    EXPECT_TRUE(t.IsRunning());
    EXPECT_FALSE(t.IsDetached());
    for (int i = 0; i < 4; ++i)
        list.TickAll();
    ASSERT_EQ(4u, seen.size());
    for (int i = 0; i < 4; ++i) {
        float p = (i + 1) * 16.0f / 64.0f;
        EXPECT_NEAR(100.0f * p * p, seen[i], 1e-4) << i;
    }
    EXPECT_EQ(1u, list.Count());
    EXPECT_NEAR(100.0f - 100.0f * 0.5625f, t.GetValueDelta(L"x"), 1e-4); // last frame 48 -> 64 ms
    list.TickAll(); // past the end: values at "to", no repeat: the last call
    ASSERT_EQ(5u, seen.size());
    EXPECT_EQ(100.0f, seen[4]);
    EXPECT_TRUE(t.IsStopped());
    EXPECT_TRUE(t.IsDetached());
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(0u, list.Count());
}

TEST(TimeLine, ZeroDurationJumpsToTheEndWithoutNaN)
{
    // Speed 0 keeps elapsed at 0 = duration: the curves would divide by zero.
    for (float speed : {1.0f, 0.0f}) {
        for (int type = 0; type < ui::kEaseTypeCount; ++type) {
            TimeLineList list;
            CTimeLineTween t;
            t.SetEasing(static_cast<short>(type), 2, 0.0f);
            t.AddValue(L"x", 10.0f, 30.0f);
            t.SetSpeed(speed);
            int calls = 0;
            ASSERT_TRUE(t.Start(&list, [&](CTimeLine*) {
                ++calls;
                return true;
            }));
            list.TickAll();
            const float want = speed > 0.0f ? 30.0f : 10.0f;
            EXPECT_EQ(want, t.GetValue(L"x")) << "type " << type << " speed " << speed;
            EXPECT_TRUE(t.IsStopped());
            EXPECT_EQ(0u, list.Count());
            EXPECT_EQ(1, calls);
        }
    }
    // A delay first: the start frame shows the start values, the next the end.
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 0.0f);
    t.AddValue(L"x", 10.0f, 30.0f);
    t.SetStarted(false);
    t.SetDelay(5.0f);
    ASSERT_TRUE(t.Start(&list, nullptr));
    list.TickAll();
    EXPECT_EQ(10.0f, t.GetValue(L"x"));
    EXPECT_FALSE(std::isnan(t.GetValue(L"x")));
    list.TickAll();
    EXPECT_EQ(30.0f, t.GetValue(L"x"));
}

TEST(TimeLine, DelayCountsOnlyWhenStartedIsCleared)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 160.0f);
    t.AddValue(L"x", 0.0f, 160.0f);
    t.SetDelay(40.0f);
    t.SetStarted(false);
    ASSERT_TRUE(t.Start(&list, nullptr));
    list.TickAll(); // 16
    list.TickAll(); // 32
    EXPECT_FALSE(t.IsStarted());
    list.TickAll(); // 48 > 40: started, elapsed back to 0
    EXPECT_TRUE(t.IsStarted());
    EXPECT_EQ(0.0f, t.GetElapsed());
    EXPECT_EQ(0.0f, t.GetValue(L"x"));
    list.TickAll();
    EXPECT_EQ(16.0f, t.GetValue(L"x"));
}

TEST(TimeLine, RepeatThreePlaysFourTimes)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 32.0f);
    t.AddValue(L"x", 0.0f, 10.0f);
    t.SetRepeatCount(3);
    ASSERT_TRUE(t.Start(&list, nullptr));
    // Each play: 16 (5), 32 (10), 48 (end -> repeat or stop).
    for (int i = 0; i < 11; ++i)
        list.TickAll();
    EXPECT_EQ(1u, list.Count());
    EXPECT_EQ(0, t.GetRepeatCount());
    list.TickAll();
    EXPECT_EQ(0u, list.Count());
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(10.0f, t.GetValue(L"x"));
}

TEST(TimeLine, ForeverWithReversePingPongs)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 32.0f);
    t.AddValue(L"x", 0.0f, 10.0f);
    t.SetRepeatCount(-1);
    t.SetReverse(true);
    std::vector<float> seen;
    ASSERT_TRUE(t.Start(&list, [&](CTimeLine* tl) {
        seen.push_back(tl->GetValue(L"x"));
        return true;
    }));
    for (int i = 0; i < 300; ++i)
        list.TickAll();
    EXPECT_EQ(1u, list.Count());
    EXPECT_EQ(-1, t.GetRepeatCount());
    // 5, 10, (swap) 10, 5, 0, (swap) 0, 5, 10, ...
    const float want[] = {5, 10, 10, 5, 0, 0, 5, 10, 10, 5, 0};
    for (size_t i = 0; i < sizeof(want) / sizeof(want[0]); ++i)
        EXPECT_EQ(want[i], seen[i]) << i;
}

struct StopCase {
    int mode;
    bool result;
    bool stopped;
    float value;
    float speed;
    bool listed;
};

TEST(TimeLine, EveryStopMode)
{
    const StopCase cases[] = {
        {0, true, true, 30.0f, 1.0f, false},
        {1, true, true, 0.0f, 1.0f, true},
        {2, true, true, 100.0f, 1.0f, true},
        {3, false, false, 30.0f, -1.0f, true},
        {4, false, false, 30.0f, 1.0f, true},
        {5, false, false, 30.0f, -1.0f, true},
        {9, true, true, 30.0f, 1.0f, true},
    };
    for (const StopCase& c : cases) {
        TimeLineList list;
        CTimeLineTween t;
        t.SetEasing(ui::kEaseLinear, 0, 160.0f);
        t.AddValue(L"x", 0.0f, 100.0f);
        t.SetRepeatCount(5);
        ASSERT_TRUE(t.Start(&list, nullptr));
        list.TickAll();
        list.TickAll();
        list.TickAll(); // elapsed 48: 30
        ASSERT_NEAR(30.0f, t.GetValue(L"x"), 1e-4);
        EXPECT_EQ(c.result, t.Stop(c.mode)) << c.mode;
        EXPECT_EQ(c.stopped, t.IsStopped()) << c.mode;
        EXPECT_NEAR(c.value, t.GetValue(L"x"), 1e-4) << c.mode;
        EXPECT_EQ(c.speed, t.GetSpeed()) << c.mode;
        EXPECT_EQ(c.listed, list.Contains(&t)) << c.mode;
        EXPECT_EQ(0, t.GetRepeatCount()) << c.mode;
        if (c.mode == 2) {
            EXPECT_EQ(160.0f, t.GetElapsed());
        }
        if (c.mode == 5) {
            EXPECT_FALSE(t.Stop(5)); // and back again
            EXPECT_EQ(1.0f, t.GetSpeed());
        }
    }
}

TEST(TimeLine, StopOnATimelineThatIsNotRunningChangesNothing)
{
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 100.0f);
    t.AddValue(L"x", 0.0f, 100.0f);
    t.SetRepeatCount(2);
    EXPECT_TRUE(t.Stop(3));
    EXPECT_FALSE(t.IsStopped());
    EXPECT_EQ(1.0f, t.GetSpeed());
    EXPECT_EQ(2, t.GetRepeatCount());
}

TEST(TimeLine, TurnedBackRunsToTheStartAndEnds)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 160.0f);
    t.AddValue(L"x", 0.0f, 100.0f);
    int calls = 0;
    ASSERT_TRUE(t.Start(&list, [&](CTimeLine*) {
        ++calls;
        return true;
    }));
    list.TickAll();
    list.TickAll();
    list.TickAll(); // 30
    EXPECT_FALSE(t.Stop(3));
    list.TickAll(); // elapsed 32
    EXPECT_NEAR(20.0f, t.GetValue(L"x"), 1e-4);
    list.TickAll(); // 16
    list.TickAll(); // 0
    EXPECT_NEAR(0.0f, t.GetValue(L"x"), 1e-4);
    EXPECT_EQ(1u, list.Count());
    list.TickAll(); // -16: clamped, values at "from", no repeat: stopped
    EXPECT_EQ(0.0f, t.GetValue(L"x"));
    EXPECT_EQ(0.0f, t.GetElapsed());
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(0u, list.Count());
    EXPECT_EQ(7, calls);
}

TEST(TimeLine, ModeOutsideTheTableDrivesValuesToZero)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 7, 100.0f);
    t.AddValue(L"x", 40.0f, 50.0f);
    ASSERT_TRUE(t.Start(&list, nullptr));
    list.TickAll();
    EXPECT_EQ(0.0f, t.GetValue(L"x"));
    EXPECT_EQ(-40.0f, t.GetValueDelta(L"x"));
}

TEST(TimeLine, StartRules)
{
    TimeLineList list;
    CTimeLineTween empty;
    EXPECT_FALSE(empty.Start(&list, nullptr));
    EXPECT_EQ(0u, list.Count());
    EXPECT_TRUE(empty.IsDetached());

    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 1000.0f);
    t.AddValue(L"x", 0.0f, 1.0f);
    ASSERT_TRUE(t.Start(&list, [](CTimeLine*) { return true; }));
    EXPECT_FALSE(t.Start(&list, [](CTimeLine*) { return true; }));
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(1u, list.Count());
    list.TickAll(); // leaves after its next tick
    EXPECT_EQ(0u, list.Count());
    EXPECT_TRUE(t.IsDetached());
    // Reset and start again.
    t.Reset();
    EXPECT_TRUE(t.Start(&list, [](CTimeLine*) { return true; }));
    EXPECT_EQ(1u, list.Count());
}

TEST(TimeLine, AStepThatStartsItsTimelineAgainBeginsANewRun)
{
    // From its last call (the run ended) and from a frame in the middle:
    // taken out of the list and started again, it stays listed and plays
    // the new run to its end.
    for (bool fromLastCall : {true, false}) {
        TimeLineList list;
        CTimeLineTween t;
        t.SetEasing(ui::kEaseLinear, 0, 32.0f);
        t.AddValue(L"x", 0.0f, 1.0f);
        int runs = 1;
        std::function<bool(CTimeLine*)> step = [&](CTimeLine* self) {
            // The last call of a run, or the first frame of one.
            const bool restart = fromLastCall ? self->IsStopped() : self->GetElapsed() == ui::kTimeLineFrameMs;
            if (restart && runs < 3) {
                ++runs;
                list.Remove(self);
                self->Reset();
                EXPECT_TRUE(self->Start(&list, step));
            }
            return true;
        };
        ASSERT_TRUE(t.Start(&list, step));
        for (int i = 0; i < 20; ++i)
            list.TickAll();
        EXPECT_EQ(3, runs) << (fromLastCall ? "last call" : "mid-run");
        EXPECT_TRUE(t.IsStopped());
        EXPECT_EQ(1.0f, t.GetValue(L"x"));
        EXPECT_EQ(0u, list.Count());
    }
}

TEST(TimeLine, StepAnsweringFalseEndsTheTimeline)
{
    TimeLineList list;
    CTimeLineTween t;
    t.SetEasing(ui::kEaseLinear, 0, 1000.0f);
    t.AddValue(L"x", 0.0f, 1.0f);
    int calls = 0;
    ASSERT_TRUE(t.Start(&list, [&](CTimeLine*) { return ++calls < 3; }));
    for (int i = 0; i < 10; ++i)
        list.TickAll();
    EXPECT_EQ(3, calls);
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(0u, list.Count());

    // The base class's Stop does nothing; false still ends it.
    CTimeLine base;
    base.AddValue(L"x", 0.0f, 1.0f);
    calls = 0;
    ASSERT_TRUE(base.Start(&list, [&](CTimeLine*) { return ++calls < 2; }));
    for (int i = 0; i < 5; ++i)
        list.TickAll();
    EXPECT_EQ(2, calls);
    EXPECT_EQ(0u, list.Count());
    EXPECT_TRUE(base.IsDetached());
}

TEST(TimeLine, RemovalAndDeletionDuringASteps)
{
    // a's step deletes b (its neighbour) and itself; c must still tick, and
    // nothing touches a or b afterwards.
    {
        TimeLineList list;
        PoisonTween* a = NewLinear(0, 1, 1000);
        PoisonTween* b = NewLinear(0, 1, 1000);
        PoisonTween* c = NewLinear(0, 1, 1000);
        int bCalls = 0, cCalls = 0;
        ASSERT_TRUE(a->Start(&list, [&](CTimeLine* self) {
            delete b;
            b = nullptr;
            delete self;
            return true;
        }));
        ASSERT_TRUE(b->Start(&list, [&](CTimeLine*) { return ++bCalls, true; }));
        ASSERT_TRUE(c->Start(&list, [&](CTimeLine*) { return ++cCalls, true; }));
        list.TickAll();
        EXPECT_EQ(0, bCalls);
        EXPECT_EQ(1, cCalls);
        EXPECT_EQ(1u, list.Count());
        EXPECT_EQ(c, list.At(0));
        list.TickAll();
        EXPECT_EQ(2, cCalls);
        delete c;
        EXPECT_TRUE(list.IsEmpty());
    }
    // A step deleting its own timeline and answering false.
    {
        TimeLineList list;
        PoisonTween* a = NewLinear(0, 1, 1000);
        PoisonTween* b = NewLinear(0, 1, 1000);
        int bCalls = 0;
        ASSERT_TRUE(a->Start(&list, [](CTimeLine* self) {
            delete self;
            return false;
        }));
        ASSERT_TRUE(b->Start(&list, [&](CTimeLine*) { return ++bCalls, true; }));
        list.TickAll();
        EXPECT_EQ(1, bCalls);
        EXPECT_EQ(1u, list.Count());
        delete b;
    }
    // A timeline deleted in the final call of its finished run.
    {
        TimeLineList list;
        PoisonTween* a = NewLinear(0, 1, 16);
        PoisonTween* b = NewLinear(0, 1, 1000);
        int bCalls = 0;
        ASSERT_TRUE(a->Start(&list, [](CTimeLine* self) {
            if (self->IsStopped())
                delete self;
            return true;
        }));
        ASSERT_TRUE(b->Start(&list, [&](CTimeLine*) { return ++bCalls, true; }));
        list.TickAll();
        list.TickAll(); // a ends and is deleted in its last call
        EXPECT_EQ(2, bCalls);
        EXPECT_EQ(1u, list.Count());
        delete b;
    }
    // A step removing an earlier timeline and starting a new one: the list
    // keeps its order, the new one ticks from the next frame.
    {
        TimeLineList list;
        CTimeLineTween a, b, d;
        for (CTimeLineTween* t : {&a, &b, &d}) {
            t->SetEasing(ui::kEaseLinear, 0, 1000);
            t->AddValue(L"x", 0, 1);
        }
        int dCalls = 0;
        ASSERT_TRUE(a.Start(&list, [](CTimeLine*) { return true; }));
        ASSERT_TRUE(b.Start(&list, [&](CTimeLine*) {
            list.Remove(&a);
            if (!list.Contains(&d))
                d.Start(&list, [&](CTimeLine*) { return ++dCalls, true; });
            return true;
        }));
        list.TickAll();
        EXPECT_EQ(0, dCalls);
        EXPECT_EQ(2u, list.Count());
        EXPECT_EQ(&b, list.At(0));
        EXPECT_EQ(&d, list.At(1));
        list.TickAll();
        EXPECT_EQ(1, dCalls);
    }
}

TEST(TimeLine, DestructorLeavesTheListAndDetachAllForgetsEveryTimeline)
{
    TimeLineList list;
    auto* a = NewLinear(0, 1, 1000);
    CTimeLineTween b;
    b.SetEasing(0, 0, 1000);
    b.AddValue(L"x", 0, 1);
    ASSERT_TRUE(a->Start(&list, nullptr));
    ASSERT_TRUE(b.Start(&list, nullptr));
    delete a;
    EXPECT_EQ(1u, list.Count());
    list.DetachAll();
    EXPECT_EQ(0u, list.Count());
    EXPECT_TRUE(b.IsDetached());
    EXPECT_EQ(nullptr, b.GetOwnerList());
}

TEST(TimeLine, StartOnACoreUsesItsTimelineList)
{
    struct FakeCore {
        TimeLineList list;
        TimeLineList& TimeLines() { return list; }
    } core;
    CTimeLineTween t;
    t.SetEasing(0, 0, 100);
    t.AddValue(L"x", 0, 1);
    ASSERT_TRUE(t.Start(&core, nullptr));
    EXPECT_TRUE(core.list.Contains(&t));
}

TEST(TimeLineDecay, SlowsDownAndStopsOnceAStepMovesLittle)
{
    TimeLineList list;
    CTimeLineDecay t;
    t.AddValue(L"y", 100.0f, 0.0f);
    t.SetVelocity(1000.0f);
    std::vector<float> offsets;
    ASSERT_TRUE(t.Start(&list, [&](CTimeLine* tl) {
        offsets.push_back(tl->GetValue(L"y") - 100.0f);
        return true;
    }));
    list.TickAll();
    const double f = std::pow(0.998, 16.0);
    const double first = (1 - f) * 0.998 / 0.002 * 1.0;
    EXPECT_NEAR(first, t.GetOffset(), 1e-3);
    EXPECT_NEAR(15.7, t.GetOffset(), 0.05);
    EXPECT_NEAR(1000.0 * f, t.GetVelocity(), 1e-2);
    EXPECT_NEAR(first, t.GetValueDelta(L"y"), 1e-3);

    int ticks = 1;
    while (!list.IsEmpty() && ticks < 10000) {
        list.TickAll();
        ++ticks;
    }
    ASSERT_TRUE(list.IsEmpty());
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(0.0f, t.GetVelocity());
    // Every reported step moved by more than the distance threshold, and the
    // offsets grow towards the closed-form limit v * 0.998 / 0.002 / 1000.
    for (size_t i = 1; i < offsets.size() - 1; ++i)
        EXPECT_GT(offsets[i] - offsets[i - 1], 0.5f) << i;
    EXPECT_LT(t.GetOffset(), 1000.0f * 0.998f / 0.002f / 1000.0f + 0.01f);
    EXPECT_GT(t.GetOffset(), 400.0f);
}

TEST(TimeLineDecay, FactorsThatDoNotDecayAreRefused)
{
    // Each refused factor leaves the default 0.998 in place, so the first
    // 16 ms step of a 1000 units/s decay still travels about 15.7.
    const float refused[] = {1.0f, 1.5f, 0.0f, -0.5f, std::nanf(""), INFINITY};
    for (float factor : refused) {
        SCOPED_TRACE(factor);
        TimeLineList list;
        CTimeLineDecay t;
        t.AddValue(L"y", 0.0f, 0.0f);
        t.SetVelocity(1000.0f);
        EXPECT_FALSE(t.SetDecayFactor(factor));
        EXPECT_EQ(0.998f, t.GetDecayFactor());
        ASSERT_TRUE(t.Start(&list, nullptr));
        list.TickAll();
        EXPECT_TRUE(std::isfinite(t.GetOffset()));
        EXPECT_NEAR(15.7, t.GetValue(L"y"), 0.05);
    }

    // A factor inside (0, 1) is taken and shapes the step.
    TimeLineList list;
    CTimeLineDecay t;
    t.AddValue(L"y", 0.0f, 0.0f);
    t.SetVelocity(1000.0f);
    EXPECT_TRUE(t.SetDecayFactor(0.99f));
    ASSERT_TRUE(t.Start(&list, nullptr));
    list.TickAll();
    const double f = std::pow(0.99, 16.0);
    EXPECT_NEAR((1 - f) * 0.99 / 0.01, t.GetOffset(), 1e-2);
}

TEST(TimeLineDecay, TinyVelocityStopsAtOnceAndResetClearsValues)
{
    TimeLineList list;
    CTimeLineDecay t;
    t.AddValue(L"y", 5.0f, 0.0f);
    t.SetVelocity(0.004f);
    ASSERT_TRUE(t.Start(&list, nullptr));
    list.TickAll();
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(0.0f, t.GetOffset());
    EXPECT_TRUE(list.IsEmpty());

    t.Reset();
    EXPECT_FALSE(t.IsStopped());
    EXPECT_EQ(0.0f, t.GetValue(L"y"));
    t.SetVelocity(-2000.0f);
    ASSERT_TRUE(t.Start(&list, nullptr));
    list.TickAll();
    EXPECT_LT(t.GetOffset(), -30.0f);
    EXPECT_TRUE(t.Stop(3)); // any mode stops a decay
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(0.0f, t.GetVelocity());
}

} // namespace
