#include "Corvel/Render/TimeLine.h"

#include "Corvel/Render/Easing.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

size_t WideKeyHash::operator()(const std::wstring& key) const noexcept
{
    uint32_t h = 0x811C9DC5u;
    const auto* bytes = reinterpret_cast<const unsigned char*>(key.data());
    size_t n = key.size() * sizeof(wchar_t);
    for (size_t i = 0; i < n; ++i) {
        h ^= bytes[i];
        h *= 16777619u;
    }
    return h;
}

// ---------------------------------------------------------------- TimeLineList

TimeLineList::~TimeLineList()
{
    if (m_destroyedFlag)
        *m_destroyedFlag = true;
    DetachAll();
}

bool TimeLineList::Add(CTimeLine* timeline)
{
    if (!timeline || Contains(timeline))
        return false;
    if (m_items.capacity() == 0)
        m_items.reserve(11);
    m_items.push_back(timeline);
    return true;
}

bool TimeLineList::Contains(const CTimeLine* timeline) const
{
    return timeline && std::find(m_items.begin(), m_items.end(), timeline) != m_items.end();
}

bool TimeLineList::Remove(CTimeLine* timeline)
{
    if (!timeline)
        return false;
    auto it = std::find(m_items.begin(), m_items.end(), timeline);
    if (it == m_items.end())
        return false;
    if (m_walkDepth > 0) {
        // A walk is running: keep positions stable, compact when it ends.
        *it = nullptr;
        m_holes = true;
    } else {
        m_items.erase(it);
    }
    return true;
}

void TimeLineList::TickAll()
{
    // A step may destroy the list itself (its window core goes with a window
    // destroyed from inside the step): the flag says so, and the walk ends
    // without touching it again.
    bool destroyed = false;
    bool* outer = m_destroyedFlag;
    m_destroyedFlag = &destroyed;
    ++m_walkDepth;
    const size_t count = m_items.size();
    for (size_t i = 0; i < count && i < m_items.size(); ++i) {
        if (CTimeLine* t = m_items[i])
            t->Tick();
        if (destroyed) {
            if (outer)
                *outer = true;
            return;
        }
    }
    m_destroyedFlag = outer;
    if (--m_walkDepth == 0 && m_holes)
        Compact();
}

void TimeLineList::DetachAll()
{
    std::vector<CTimeLine*> items;
    items.swap(m_items);
    m_holes = false;
    for (CTimeLine* t : items) {
        if (!t)
            continue;
        t->m_detached = true;
        t->m_running = false;
        t->m_owner = nullptr;
        t->m_ownerList = nullptr;
    }
}

size_t TimeLineList::Count() const
{
    return static_cast<size_t>(std::count_if(m_items.begin(), m_items.end(),
                                             [](CTimeLine* t) { return t != nullptr; }));
}

CTimeLine* TimeLineList::At(size_t index) const
{
    for (CTimeLine* t : m_items) {
        if (!t)
            continue;
        if (index == 0)
            return t;
        --index;
    }
    return nullptr;
}

void TimeLineList::Compact()
{
    m_items.erase(std::remove(m_items.begin(), m_items.end(), nullptr), m_items.end());
    m_holes = false;
}

// ------------------------------------------------------------------- CTimeLine

CTimeLine::CTimeLine()
    : m_values(8)
{
    m_values.max_load_factor(1.0f);
}

CTimeLine::~CTimeLine()
{
    if (m_deletedFlag)
        *m_deletedFlag = true;
    if (!m_detached)
        LeaveOwner();
    ClearValues();
}

void CTimeLine::LeaveOwner()
{
    if (m_ownerList)
        m_ownerList->Remove(this);
    m_detached = true;
    m_running = false;
}

bool CTimeLine::StartOn(TimeLineList* list, WindowCore* core, TimeLineStep step)
{
    if (m_values.empty())
        return false;
    // A timeline moving to another list leaves the old one first, so that no
    // list keeps a pointer it no longer owns.
    if (m_ownerList && m_ownerList != list && !m_detached)
        m_ownerList->Remove(this);
    m_owner = core;
    m_ownerList = list;
    m_step = std::move(step);
    m_detached = false;
    if (!list) {
        // Nobody ticks it; the owner drives Tick itself.
        m_running = true;
        ++m_startCount;
        return true;
    }
    if (list->Contains(this)) {
        m_running = false;
        return false;
    }
    list->Add(this);
    m_running = true;
    ++m_startCount;
    return true;
}

void CTimeLine::Tick()
{
    // The step may delete this timeline; the flag tells us so, and the step
    // runs from a local copy so the callable outlives its own call.
    bool deleted = false;
    bool* outer = m_deletedFlag;
    m_deletedFlag = &deleted;

    bool ok = Advance(kTimeLineFrameMs);
    // A step that starts its timeline again (taken out of the list first)
    // begins a new run: this tick must not end it.
    const unsigned startCount = m_startCount;
    if (ok) {
        if (m_step) {
            TimeLineStep step = m_step;
            bool keep = step(this);
            if (deleted) {
                if (outer)
                    *outer = true;
                return;
            }
            if (m_startCount != startCount) {
                m_deletedFlag = outer;
                return;
            }
            if (!keep)
                Stop(0);
            // A step that answers false ends the timeline even when its Stop
            // keeps it running (the base class's Stop does nothing).
            if (m_ownerList && (!keep || !m_running || m_stopped))
                LeaveOwner();
        }
    } else {
        if (m_step) {
            TimeLineStep step = m_step;
            step(this);
            if (deleted) {
                if (outer)
                    *outer = true;
                return;
            }
        }
        if (m_ownerList && m_startCount == startCount)
            LeaveOwner();
    }
    m_deletedFlag = outer;
}

void CTimeLine::Reset()
{
    m_stopped = false;
    m_speed = 1.0f;
    m_elapsed = 0.0f;
}

bool CTimeLine::Advance(float) { return true; }
bool CTimeLine::Repeat() { return true; }
bool CTimeLine::Stop(int) { return true; }

bool CTimeLine::HasValues() const { return !m_values.empty(); }

namespace {

// The record of a named value; null for a null or unknown name.
CTimeLine::ValueRecord* FindRecord(const CTimeLine::ValueTable& values, const wchar_t* name)
{
    if (!name)
        return nullptr;
    auto it = values.find(name);
    return it == values.end() ? nullptr : it->second;
}

} // namespace

void CTimeLine::AddValue(const wchar_t* name, float from, float to)
{
    if (!name)
        return;
    auto it = m_values.find(name);
    if (it == m_values.end()) {
        m_values.emplace(name, new ValueRecord{0, from, from, to, 0.0f});
        return;
    }
    it->second->current = from;
    it->second->from = from;
    it->second->to = to;
}

void CTimeLine::RemoveValue(const wchar_t* name)
{
    if (!name)
        return;
    auto it = m_values.find(name);
    if (it == m_values.end())
        return;
    delete it->second;
    m_values.erase(it);
}

void CTimeLine::SetValueAll(const wchar_t* name, float current, float from, float to)
{
    if (ValueRecord* r = FindRecord(m_values, name)) {
        r->current = current;
        r->from = from;
        r->to = to;
    }
}

void CTimeLine::SetValueRange(const wchar_t* name, float from, float to)
{
    if (ValueRecord* r = FindRecord(m_values, name)) {
        r->from = from;
        r->to = to;
    }
}

void CTimeLine::SetValue(const wchar_t* name, float current)
{
    if (ValueRecord* r = FindRecord(m_values, name))
        r->current = current;
}

float CTimeLine::GetValue(const wchar_t* name) const
{
    const ValueRecord* r = FindRecord(m_values, name);
    return r ? r->current : 0.0f;
}

float CTimeLine::GetValueDelta(const wchar_t* name) const
{
    const ValueRecord* r = FindRecord(m_values, name);
    return r ? r->delta : 0.0f;
}

void CTimeLine::ClearValues()
{
    for (auto& kv : m_values)
        delete kv.second;
    m_values.clear();
}

std::vector<std::wstring> CTimeLine::ValueNames() const
{
    std::vector<std::wstring> names;
    names.reserve(m_values.size());
    for (const auto& kv : m_values)
        names.push_back(kv.first);
    return names;
}

// -------------------------------------------------------------- CTimeLineTween

CTimeLineTween::CTimeLineTween()
    : m_easing(ui::GetEasing(kEaseExpo))
{
}

CTimeLineTween::~CTimeLineTween() = default;

void CTimeLineTween::SetEasing(short type, short mode, float durationMs)
{
    m_mode = mode;
    m_duration = durationMs;
    if (const Easing* e = ui::GetEasing(type))
        m_easing = e;
}

void CTimeLineTween::ApplyEasing(ValueRecord* r)
{
    float previous = r->current;
    float value = 0.0f;
    const float change = r->to - r->from;
    switch (m_mode) {
    case kEaseModeIn: value = m_easing->EaseIn(m_elapsed, r->from, change, m_duration); break;
    case kEaseModeOut: value = m_easing->EaseOut(m_elapsed, r->from, change, m_duration); break;
    case kEaseModeInOut: value = m_easing->EaseInOut(m_elapsed, r->from, change, m_duration); break;
    default: value = 0.0f; break;
    }
    r->current = value;
    r->delta = value - previous;
}

bool CTimeLineTween::Advance(float dt)
{
    if (m_stopped)
        return false;
    if (m_paused)
        return true;
    m_elapsed += dt * m_speed;
    if (!m_started) {
        if (m_elapsed > m_delay) {
            m_started = true;
            m_elapsed = 0.0f;
        }
        return true;
    }
    // A zero (or negative) duration has no inside: it goes straight to the
    // end values below instead of dividing by zero in the curves.
    if (m_duration > 0.0f && m_elapsed >= 0.0f && m_elapsed <= m_duration) {
        for (auto& kv : m_values)
            ApplyEasing(kv.second);
        return true;
    }
    const float end = m_duration > 0.0f ? m_duration : 0.0f;
    m_elapsed = std::min(std::max(m_elapsed, 0.0f), end);
    for (auto& kv : m_values)
        kv.second->current = m_speed > 0.0f ? kv.second->to : kv.second->from;
    if (!Repeat()) {
        m_stopped = true;
        return false;
    }
    return true;
}

bool CTimeLineTween::Repeat()
{
    if (m_repeat == 0 || m_values.empty())
        return false;
    for (auto& kv : m_values) {
        ValueRecord* r = kv.second;
        if (m_reverse)
            std::swap(r->from, r->to);
        r->current = r->from;
    }
    m_elapsed = 0.0f;
    if (m_repeat != -1)
        --m_repeat;
    return true;
}

bool CTimeLineTween::Stop(int mode)
{
    if (!m_running || m_stopped)
        return true;
    m_stopped = true;
    m_repeat = 0;
    switch (mode) {
    case 0:
        if (m_ownerList)
            LeaveOwner();
        return true;
    case 1:
        m_elapsed = 0.0f;
        for (auto& kv : m_values)
            kv.second->current = kv.second->from;
        return true;
    case 2:
        m_elapsed = m_duration;
        for (auto& kv : m_values)
            kv.second->current = kv.second->to;
        return true;
    case 3:
        m_stopped = false;
        m_speed = -1.0f;
        return false;
    case 4:
        m_stopped = false;
        m_speed = 1.0f;
        return false;
    case 5:
        if (m_started) {
            m_stopped = false;
            m_speed = -m_speed;
            return false;
        }
        return true;
    default:
        return true;
    }
}

// -------------------------------------------------------------- CTimeLineDecay

CTimeLineDecay::~CTimeLineDecay() = default;

void CTimeLineDecay::Reset()
{
    m_stopped = false;
    m_offset = 0.0f;
    for (auto& kv : m_values) {
        kv.second->current = 0.0f;
        kv.second->delta = 0.0f;
    }
}

bool CTimeLineDecay::Advance(float dt)
{
    if (m_stopped)
        return false;
    if (m_paused)
        return true;
    m_running = true;
    const float s = dt * m_speed;
    m_elapsed += s;
    if (!m_started) {
        if (m_elapsed > m_delay) {
            m_started = true;
            m_elapsed = 0.0f;
        }
        return true;
    }
    if (m_velocityThreshold >= std::fabs(m_velocity)) {
        m_stopped = true;
        m_velocity = 0.0f;
        return false;
    }
    const float f = static_cast<float>(std::pow(static_cast<double>(m_decay), static_cast<double>(s)));
    const float w = m_velocity;
    m_velocity = w * f;
    const float before = m_offset;
    // The per-millisecond geometric decay summed over the step; the
    // velocity is per second.
    constexpr float kSecondsPerMs = 0.001f;
    m_offset += (1.0f - f) * m_decay / (1.0f - m_decay) * (w * kSecondsPerMs);
    if (s != 0.0f &&
        (std::fabs(m_velocity) <= m_velocityThreshold || std::fabs(m_offset - before) <= m_distanceThreshold)) {
        m_velocity = 0.0f;
        m_stopped = true;
        return false;
    }
    for (auto& kv : m_values) {
        ValueRecord* r = kv.second;
        float previous = r->current;
        r->current = r->from + m_offset;
        r->delta = r->current - previous;
    }
    return true;
}

bool CTimeLineDecay::SetDecayFactor(float perMs)
{
    // Written so that NaN fails both tests.
    if (!(perMs > 0.0f && perMs < 1.0f))
        return false;
    m_decay = perMs;
    return true;
}

bool CTimeLineDecay::Stop(int)
{
    m_stopped = true;
    m_velocity = 0.0f;
    return true;
}

} // namespace ui
