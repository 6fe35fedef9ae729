// Timelines: named float values animated on the window core's idle tick in
// fixed 16 ms steps, with a step callback that answers false to stop.
//
// A window core owns one TimeLineList. It exposes it as
//     ui::TimeLineList& TimeLines();
// calls TimeLines().TickAll() once per frame, TimeLines().Remove(t) from its
// RemoveTimeline, and TimeLines().DetachAll() when it is destroyed. Controls
// start a timeline with timeline->Start(core, step).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace ui {

class WindowCore;
class CTimeLine;
class Easing;

// Wide-string key hash of the UI library's maps (FNV-1a over UTF-16 bytes).
struct WideKeyHash {
    size_t operator()(const std::wstring& key) const noexcept;
};

using TimeLineStep = std::function<bool(CTimeLine*)>;

// The running timelines of one window core, ticked in list order. Timelines
// may be removed, deleted, started or restarted from inside any step: removal
// during a walk empties the slot and the list is compacted once the walk ends,
// so no timeline is skipped or touched after it was freed.
class TimeLineList {
public:
    TimeLineList() = default;
    ~TimeLineList();
    TimeLineList(const TimeLineList&) = delete;
    TimeLineList& operator=(const TimeLineList&) = delete;

    // Appends; false when the timeline is already listed.
    bool Add(CTimeLine* timeline);
    bool Contains(const CTimeLine* timeline) const;
    // Removes one entry keeping the order; false when it was not listed.
    bool Remove(CTimeLine* timeline);
    // One frame: Tick() on every listed timeline, in order. Timelines added
    // during the walk are ticked from the next frame on.
    void TickAll();
    // Forgets every timeline; each is marked detached so that it never reports
    // to this list again (the window core's destructor).
    void DetachAll();

    size_t Count() const;
    bool IsEmpty() const { return Count() == 0; }
    // The listed timeline at a position (live entries only), or null.
    CTimeLine* At(size_t index) const;

private:
    void Compact();

    std::vector<CTimeLine*> m_items;
    int m_walkDepth = 0;
    bool m_holes = false;
    // Set while TickAll walks, so that a list destroyed from inside a step
    // tells the walk to stop.
    bool* m_destroyedFlag = nullptr;
};

class CTimeLine {
public:
    struct ValueRecord {
        int32_t reserved;
        float current;
        float from;
        float to;
        float delta;
    };
    using ValueTable = std::unordered_map<std::wstring, ValueRecord*, WideKeyHash>;

    CTimeLine();
    virtual ~CTimeLine();
    CTimeLine(const CTimeLine&) = delete;
    CTimeLine& operator=(const CTimeLine&) = delete;

    // One 16 ms frame: advance, run the step, leave the owner's list when done.
    virtual void Tick();
    // Registers with the core's running list (see the file comment); false when
    // there are no values or the timeline is already registered (then it stops
    // running and leaves the list after its next tick).
    template <class Core>
    bool Start(Core* core, TimeLineStep step)
    {
        WindowCore* owner = nullptr;
        if constexpr (std::is_same<std::remove_cv_t<Core>, WindowCore>::value)
            owner = core;
        return StartOn(core ? &core->TimeLines() : nullptr, owner, std::move(step));
    }
    bool Start(TimeLineList* list, TimeLineStep step) { return StartOn(list, nullptr, std::move(step)); }
    virtual bool StartOn(TimeLineList* list, WindowCore* core, TimeLineStep step);
    virtual void Reset();
    virtual bool Advance(float dt);
    virtual bool Repeat();
    virtual bool Stop(int mode);
    virtual bool HasValues() const;
    virtual void AddValue(const wchar_t* name, float from, float to);
    virtual void RemoveValue(const wchar_t* name);
    virtual void SetValueAll(const wchar_t* name, float current, float from, float to);
    virtual void SetValueRange(const wchar_t* name, float from, float to);
    virtual void SetValue(const wchar_t* name, float current);

    float GetValue(const wchar_t* name) const;
    float GetValueDelta(const wchar_t* name) const;
    void ClearValues();
    const ValueTable& Values() const { return m_values; }
    // Names of every value, in table order.
    std::vector<std::wstring> ValueNames() const;

    float GetDelay() const { return m_delay; }
    void SetDelay(float ms) { m_delay = ms; }
    float GetElapsed() const { return m_elapsed; }
    void SetElapsed(float ms) { m_elapsed = ms; }
    int GetRepeatCount() const { return m_repeat; }
    void SetRepeatCount(int count) { m_repeat = count; }
    float GetSpeed() const { return m_speed; }
    void SetSpeed(float speed) { m_speed = speed; }
    bool IsPaused() const { return m_paused; }
    void SetPaused(bool paused) { m_paused = paused; }
    bool IsReverse() const { return m_reverse; }
    void SetReverse(bool reverse) { m_reverse = reverse; }
    bool IsRunning() const { return m_running; }
    bool IsStopped() const { return m_stopped; }
    bool IsStarted() const { return m_started; }
    // Clearing "started" makes the delay count before the first frame.
    void SetStarted(bool started) { m_started = started; }
    bool IsDetached() const { return m_detached; }
    WindowCore* GetOwner() const { return m_owner; }
    TimeLineList* GetOwnerList() const { return m_ownerList; }
    const TimeLineStep& GetStep() const { return m_step; }

protected:
    friend class TimeLineList;

    // Leaves the owner's list (when registered) and marks the timeline detached.
    void LeaveOwner();

    ValueTable m_values;
    float m_delay = 0.0f;
    float m_elapsed = 0.0f;
    int32_t m_repeat = 0;
    float m_speed = 1.0f;
    bool m_paused = false;
    bool m_reverse = false;
    bool m_running = false;
    bool m_stopped = false;
    bool m_started = true;
    bool m_detached = true;
    TimeLineStep m_step;
    WindowCore* m_owner = nullptr;
    TimeLineList* m_ownerList = nullptr;

private:
    // Set while Tick runs the step, so that a timeline deleted from inside its
    // own step tells Tick not to touch it again.
    bool* m_deletedFlag = nullptr;
    // Runs begun by Start, so that Tick can tell a step that started its
    // timeline again.
    unsigned m_startCount = 0;
};

// Values follow an easing curve over a duration.
class CTimeLineTween : public CTimeLine {
public:
    CTimeLineTween();
    ~CTimeLineTween() override;

    bool Advance(float dt) override;
    bool Repeat() override;
    bool Stop(int mode) override;
    virtual void ApplyEasing(ValueRecord* record);

    // Types 0-10 select the curve; any other type keeps the current one.
    void SetEasing(short type, short mode, float durationMs);
    const Easing* GetEasing() const { return m_easing; }
    short GetMode() const { return m_mode; }
    float GetDuration() const { return m_duration; }
    void SetDuration(float ms) { m_duration = ms; }

protected:
    const Easing* m_easing;
    short m_mode = 1;
    float m_duration = 0.0f;
};

// One inertial offset that decays from an initial velocity (kinetic scrolling):
// every value's current is its "from" plus the offset travelled.
class CTimeLineDecay : public CTimeLine {
public:
    CTimeLineDecay() = default;
    ~CTimeLineDecay() override;

    void Reset() override;
    bool Advance(float dt) override;
    bool Stop(int mode) override;

    // Value units per second.
    float GetVelocity() const { return m_velocity; }
    void SetVelocity(float v) { m_velocity = v; }
    float GetOffset() const { return m_offset; }
    // Share of the velocity kept per millisecond. Only factors strictly
    // between 0 and 1 describe a decay (1 never slows down and divides the
    // travelled distance by zero): any other factor, NaN included, is refused
    // with false and the current one is kept.
    float GetDecayFactor() const { return m_decay; }
    bool SetDecayFactor(float perMs);
    float GetVelocityThreshold() const { return m_velocityThreshold; }
    void SetVelocityThreshold(float v) { m_velocityThreshold = v; }
    float GetDistanceThreshold() const { return m_distanceThreshold; }
    void SetDistanceThreshold(float d) { m_distanceThreshold = d; }

protected:
    float m_velocity = 0.0f;
    float m_offset = 0.0f;
    float m_decay = 0.998f;
    float m_velocityThreshold = 0.005f;
    float m_distanceThreshold = 0.5f;
};

// Fixed frame step of the idle tick, in milliseconds.
constexpr float kTimeLineFrameMs = 16.0f;

} // namespace ui
