// Turns a skin document into a live window: the window-wide resources of its
// window core (fonts, class defaults, transforms, style groups, image scale
// folders, animations, tray menu), the properties of the native window from
// a root "Window" element, and the control tree. "Include" elements pull in
// further markup from the skin archive, the disk or the network and build it
// in place. UI thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "Corvel/Core/Markup.h"

namespace ui {

class Control;
class WindowCore;

// Offered the element names no registered class creates.
class IDialogBuilderCallback {
public:
    // A new heap control for the markup class name (the builder owns it
    // from then on), or null to skip the element and its subtree.
    virtual Control* CreateCustomControl(const wchar_t* className, WindowCore* core) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class DialogBuilder {
public:
    // The same contract as IDialogBuilderCallback::CreateCustomControl; used
    // when no callback is given.
    using CustomControlHook = std::function<Control*(const wchar_t* className, WindowCore* core)>;

    // Limits of a network "Include", which blocks the UI thread while it
    // runs: name resolution, each connect/send/receive step, and the whole
    // fetch (checked as the body arrives). Past any of them the include
    // builds nothing.
    struct NetIncludeLimits {
        int resolveMs;
        int stepMs;
        DWORD overallMs;
    };
    static constexpr NetIncludeLimits kDefaultNetIncludeLimits = {5000, 5000, 15000};

    DialogBuilder();
    ~DialogBuilder();
    DialogBuilder(const DialogBuilder&) = delete;
    DialogBuilder& operator=(const DialogBuilder&) = delete;

    // `skin` beginning with "<" is markup text, anything else a skin file
    // name (archive first, then the UI resource folder). Null when the skin
    // cannot be loaded or parsed (GetDocument() says why) or builds no
    // control. With a parent every top-level control goes into it; without
    // one the first top-level control is the result (the caller owns it)
    // and any further ones are deleted. The callback is borrowed for the
    // call.
    Control* Build(const wchar_t* skin, IDialogBuilderCallback* callback, WindowCore* core, Control* parent);
    // Adds the "string" children of the file's root to the core's string
    // table (key: the first attribute's value; text: the content); the first
    // definition of a key wins. A file that does not load changes nothing.
    void LoadStringTable(const wchar_t* file, WindowCore* core);

    // The window-level pass over the loaded document, then the control pass
    // over the root's children. Null for an empty document. Without a core
    // only the controls are built.
    Control* BuildWindow(WindowCore* core, Control* parent);
    // The control pass over the children of `node`; the first control made
    // at this level, or null (see Build for ownership).
    Control* BuildControls(MarkupNode node, Control* parent, WindowCore* core);

    void SetCustomControlHook(CustomControlHook hook) { m_hook = std::move(hook); }
    MarkupDocument& GetDocument() { return m_document; }

    static void SetNetIncludeLimitsForTesting(const NetIncludeLimits& limits);

private:
    // Window level (DialogBuilderWindow.cpp).
    void ReadWindowLevelElements(MarkupNode root, WindowCore* core);
    void ReadFont(MarkupNode node, WindowCore* core);
    void ReadDefault(MarkupNode node, WindowCore* core);
    void ReadTransform(MarkupNode node, WindowCore* core);
    void ReadStyles(MarkupNode node, WindowCore* core);
    void ReadResPrefix(MarkupNode node);
    void ReadAnimation(MarkupNode node, WindowCore* core);
    void ReadTray(MarkupNode node, WindowCore* core);
    void ApplyWindowAttributes(MarkupNode root, WindowCore* core);
    bool LoadSkin(const wchar_t* skin);

    // Control tree (DialogBuilderControls.cpp).
    Control* CreateControl(const wchar_t* className, WindowCore* core);
    void BuildInclude(MarkupNode node, Control* parent, WindowCore* core);
    void BuildLocalInclude(const wchar_t* source, int count, Control* parent, WindowCore* core);
    void BuildNetInclude(const wchar_t* url, int count, Control* parent, WindowCore* core);
    // Runs a fresh builder's passes with this builder's callback or hook; a
    // result with no parent to hold it is deleted.
    void BuildIncluded(DialogBuilder& included, Control* parent, WindowCore* core);

    MarkupDocument m_document{true};
    IDialogBuilderCallback* m_callback = nullptr;  // borrowed
    CustomControlHook m_hook;
};

} // namespace ui
