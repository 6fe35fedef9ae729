// Frame animation: UI-thread side (attributes, loading, painting, the end of
// playing) and the timer thread's tick, which touches only the atomics below
// and the core's task queue.
#include "Corvel/Control/FrameAnim.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

namespace {

// Index the timer reports once after the last cycle.
constexpr int kAfterLastCycle = -1;
// Frames needed for anything to play.
constexpr int kMinPlayableFrames = 2;
// Delay of a frame the image gives none for (the image loader's default).
constexpr int kDefaultFrameDelayMs = 90;
constexpr uint8_t kFullOpacity = 255;

// Live frame animations (UI thread): the destructor asks them whether the
// image it is about to drop is still theirs.
std::vector<const FrameAnim*>& LiveFrameAnims()
{
    static std::vector<const FrameAnim*> live;
    return live;
}

struct KeySearch {
    CUiString key;
    const Control* self;
};

// Tree-search predicate: the first control other than the searcher whose
// own images have the key.
Control* MatchImageKey(Control* control, void* data)
{
    const auto* search = static_cast<const KeySearch*>(data);
    if (control == search->self)
        return nullptr;
    for (CUiImage* image : {&control->BkImage(), &control->ForeImage(), &control->DisabledBkImage()}) {
        if (!image->IsEmpty() && image->GetCacheKey().Equals(search->key.GetData()))
            return control;
    }
    return nullptr;
}

} // namespace

FrameAnim::FrameAnim() { LiveFrameAnims().push_back(this); }

FrameAnim::~FrameAnim()
{
    m_playFlag = false;
    m_lifeToken.reset();
    if (m_core)
        m_core->UnregisterControl(this);
    // Joins the timer's thread: no tick runs after this line.
    m_timer.reset();
    auto& live = LiveFrameAnims();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    ReleaseFrameImage();
}

const wchar_t* FrameAnim::GetClassName() const { return L"FrameAnim"; }

void* FrameAnim::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"FrameAnim") == 0 || wcscmp(typeName, L"Control") == 0))
        return this;
    return nullptr;
}

void FrameAnim::CompleteInit()
{
    if (m_playFlag)
        Play(m_playCount);
    Control::CompleteInit();
    // Guarded UI tasks run only while the control is registered.
    if (m_core)
        m_core->RegisterControl(this);
}

void FrameAnim::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcscmp(name, L"bkimage") == 0) {
        m_frameImage.Reset();
        m_frameImage.Parse(value, m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom);
        LoadFrames();
    } else if (wcscmp(name, L"autoplay") == 0) {
        if (wcscmp(value, L"false") == 0)
            m_playFlag = false;
    } else if (wcscmp(name, L"playtime") == 0) {
        m_playCount = ParseInt(value);
    } else if (wcscmp(name, L"interval") == 0) {
        m_interval = ParseInt(value);
        if (m_frameCount > 0)
            m_delays.assign(static_cast<size_t>(m_frameCount.load()), m_interval);
    } else {
        Control::SetAttribute(name, value);
    }
}

void FrameAnim::LoadFrames()
{
    if (m_frameImage.GetFileName().IsEmpty() || !m_core)
        return;
    const tagTImageInfo* entry = m_core->GetImage(m_frameImage);
    if (!entry)
        return;
    m_loadedEntry = true;
    const int count = entry->FrameCount();
    // Copied: the entry belongs to the core's table, which frees or replaces
    // it on RemoveImage and on a reload.
    if (m_interval != 0) {
        m_delays.assign(static_cast<size_t>(count), m_interval);
    } else {
        m_delays = entry->delays;
        m_delays.resize(static_cast<size_t>(count), kDefaultFrameDelayMs);
    }
    m_frameCount = count;
}

void FrameAnim::Play(int count)
{
    if (!m_core || m_frameCount < kMinPlayableFrames || m_timer)
        return;
    SetVisible(true);
    m_currentFrame = 0;
    m_playCount = count;
    m_playFlag = true;
    m_tickCore = m_core;
    // N cycles are the first one and N - 1 repeats; 0 and negative counts
    // pass through (one cycle, without end).
    const int repeat = count > 0 ? count - 1 : count;
    m_timer = std::make_unique<ThreadTimer>();
    if (!m_timer->Start([this](int index) { return OnTick(index); }, m_delays.data(),
                        static_cast<int>(m_delays.size()), repeat))
        m_timer.reset();
}

bool FrameAnim::OnTick(int index)
{
    if (!m_playFlag || index >= m_frameCount) {
        PostGuarded(&FrameAnim::OnPlayEnd);
        return false;
    }
    if (index == kAfterLastCycle)
        PostGuarded(&FrameAnim::OnPlayEnd);
    else
        m_currentFrame = index;
    PostGuarded(&FrameAnim::RepaintFrame);
    return true;
}

void FrameAnim::PostGuarded(void (FrameAnim::*member)())
{
    std::weak_ptr<const int> alive = m_lifeToken;
    m_tickCore->PostUiTask(this, [this, alive, member] {
        if (!alive.expired())
            (this->*member)();
    });
}

void FrameAnim::OnPlayEnd()
{
    // Only the play that posted it ends; a stale end finds no timer.
    if (!m_timer)
        return;
    SetVisible(false);
    m_timer.reset();
    m_playFlag = false;
    InvokeNamedCallback(L"gifend");
    if (m_core)
        m_core->RaiseNotification(this, L"gifend", 0, 0);
}

void FrameAnim::Paint(const RECTF& dirty, bool pushClip)
{
    Control::Paint(dirty, pushClip);
    if (m_frameCount == 0) {
        const CUiString source = m_bkImage.IsEmpty() ? CUiString(m_frameImage) : CUiString(m_bkImage);
        if (!source.IsEmpty()) {
            m_frameImage.Reset();
            m_frameImage.Parse(source.GetData(), m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom);
            LoadFrames();
            if (m_playFlag && m_frameCount > 0)
                Play(m_playCount);
        }
    }
    const int frame = m_currentFrame;
    if (frame < 0 || frame >= m_frameCount || !m_core || !IsVisible() || !IsPlaced())
        return;
    RenderTarget* target = GetPaintTarget();
    if (!target)
        return;
    m_frameImage.SetFrame(frame);
    target->DrawImage(m_core, m_bounds, m_paintRect, m_frameImage, kFullOpacity);
}

void FrameAnim::DrawBackgroundImage(RenderTarget*, const RECTF&) {}

bool FrameAnim::IsFrameImageKeyUsedElsewhere() const
{
    const CUiString key = m_frameImage.GetCacheKey();
    for (const FrameAnim* other : LiveFrameAnims()) {
        if (other != this && other->m_core == m_core && other->m_loadedEntry &&
            other->m_frameImage.GetCacheKey().Equals(key.GetData()))
            return true;
    }
    KeySearch search{key, this};
    Control* root = m_core->GetRoot();
    return root && root->SearchTree(&MatchImageKey, &search, 0) != nullptr;
}

void FrameAnim::ReleaseFrameImage()
{
    if (!m_core || !m_loadedEntry || m_frameImage.GetFileName().IsEmpty())
        return;
    if (!IsFrameImageKeyUsedElsewhere())
        m_core->RemoveImage(m_frameImage);
}

} // namespace ui
