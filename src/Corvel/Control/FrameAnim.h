// Plays the frames of a multi-frame image (an animated GIF or a folder of
// numbered frames) with their per-frame delays. A ThreadTimer thread keeps
// the time; each tick reaches the control only as a UI task guarded by it,
// so nothing runs against a control that is gone. After the requested
// number of cycles it hides itself and raises "gifend". UI thread, except
// OnTick (timer thread).
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/ThreadTimer.h"

namespace ui {

class FrameAnim : public Control {
public:
    FrameAnim();
    // Stops the timer (its thread joined: no tick runs afterwards) and drops
    // the frame image from the core's cache unless another live control
    // still draws an image of the same key.
    ~FrameAnim() override;

    const wchar_t* GetClassName() const override;
    // "FrameAnim" and "Control" answer the control itself; anything else null.
    void* CastTo(const wchar_t* typeName) override;
    // Starts playing when the play flag is set, then completes the base's
    // initialisation.
    void CompleteInit() override;
    // "bkimage" (the frame image descriptor; loads the frames, does not
    // play), "autoplay" ("false" clears the play flag), "playtime" (cycles;
    // negative: without end), "interval" (ms for every frame; 0: the image's
    // own delays). Other names go to the base.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // The base's passes, then the current frame over the whole control.
    // Loads the frames on the first paint that finds none (from the
    // background image text when code set one, else from "bkimage") and
    // starts playing when the play flag is set.
    void Paint(const RECTF& dirty, bool pushClip) override;
    // The background image is the frame source: the frames are drawn by
    // Paint, never the whole image beneath them.
    void DrawBackgroundImage(RenderTarget* target, const RECTF& paintRect) override;

    // Plays `count` cycles (0 one, negative without end) from frame 0 and
    // shows the control. Nothing without a core, with fewer than 2 frames or
    // while already playing.
    void Play(int count);

    int GetCurrentFrame() const { return m_currentFrame.load(); }
    int GetFrameCount() const { return m_frameCount.load(); }
    int GetPlayCount() const { return m_playCount; }
    bool GetPlayFlag() const { return m_playFlag.load(); }
    // True while a timer runs the frames.
    bool IsPlaying() const { return m_timer != nullptr; }
    // The control's own copy of the delays (ms per frame); the image entry
    // may be freed or replaced by a reload at any time.
    const std::vector<int>& GetFrameDelays() const { return m_delays; }
    const CUiImage& GetFrameImage() const { return m_frameImage; }

private:
    // Reads the entry's frame count and delays from the core's image table
    // (loading it when absent); keeps no pointer into the entry.
    void LoadFrames();
    // Timer thread: records the frame and posts guarded UI tasks.
    bool OnTick(int index);
    // UI thread: the end of playing.
    void OnPlayEnd();
    // Posts a task that runs only while this control lives.
    void PostGuarded(void (FrameAnim::*member)());
    void RepaintFrame() { Repaint(); }
    // Removes the frame image from the cache when no other live control
    // uses its key.
    void ReleaseFrameImage();
    bool IsFrameImageKeyUsedElsewhere() const;

    std::atomic<bool> m_playFlag{true};
    int m_playCount = -1;
    std::atomic<int> m_currentFrame{0};
    std::atomic<int> m_frameCount{0};
    int m_interval = 0;
    std::vector<int> m_delays;
    std::unique_ptr<ThreadTimer> m_timer;
    CUiImage m_frameImage;
    // Set once frames were taken from the core's table: only then is the
    // entry ours to drop.
    bool m_loadedEntry = false;
    // The core the tick posts to; fixed while the timer runs.
    WindowCore* m_tickCore = nullptr;
    // Expires as the destructor starts: a posted task checks it, so a task
    // can never reach a newer control that took this one's address.
    std::shared_ptr<const int> m_lifeToken = std::make_shared<const int>(0);
};

} // namespace ui
