// Dialog builder, control tree: every element below a node becomes a control
// made by the class registry (or the window's callback or hook), its subtree
// built and added before it goes into its parent, then it is attached to the
// window core and given its class defaults and its attributes. "Include"
// elements build other markup in place, read from the skin archive, the disk
// or the network (synchronously, on the UI thread, within fixed limits).
#include "Corvel/Core/DialogBuilder.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <memory>
#include <string>

#include "Corvel/Control/Box.h"
#include "Corvel/Control/HBox.h"
#include "Corvel/Control/TreeNode.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/StringConv.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/UiNetHandlers.h"
#include "Corvel/Core/WindowCore.h"
#include "net/NetResManager.h"
#include "net/RequestTask.h"

namespace ui {

namespace {

// Include attribute values are read through a buffer of this many
// characters (the last one the terminator), so longer values are cut.
constexpr size_t kIncludeValueChars = 500;

DialogBuilder::NetIncludeLimits g_netIncludeLimits = DialogBuilder::kDefaultNetIncludeLimits;

bool Is(const wchar_t* a, const wchar_t* b) { return a && b && wcscmp(a, b) == 0; }

// Names read by the window-level pass, never controls. ("Image" is read by
// neither pass.)
bool IsWindowLevelName(const wchar_t* name)
{
    static const wchar_t* const kNames[] = {L"Image",     L"Font",      L"Default", L"Styles",
                                            L"Transform", L"ResPrefix", L"Tray",    L"Animation"};
    for (const wchar_t* known : kNames) {
        if (Is(name, known))
            return true;
    }
    return false;
}

// Registry keys are narrow; a name with characters outside the ANSI code
// page cannot match one and comes out empty, which no class is called.
std::string NarrowClassName(const wchar_t* name) { return WideStringToAnsi(name ? name : L""); }

std::wstring IncludeValue(const wchar_t* value)
{
    std::wstring text = value ? value : L"";
    if (text.size() > kIncludeValueChars - 1)
        text.resize(kIncludeValueChars - 1);
    return text;
}

// Collects the included markup's body in memory and gives up past the
// overall deadline or the skin file size limit; only a complete answer
// without an error status counts.
class IncludeFetchHandler : public ZIPNetResHandler {
public:
    explicit IncludeFetchHandler(DWORD overallMs) : m_start(GetTickCount()), m_overallMs(overallMs) {}

    bool Succeeded() const { return m_completed && !m_failed && !m_abandoned; }

    bool OnError(int error, int status, stRequestTask* task) override
    {
        m_failed = true;
        return ZIPNetResHandler::OnError(error, status, task);
    }
    int OnData(const char* data, int length, stRequestTask* task) override
    {
        const auto* body = static_cast<const SyncCtx*>(task->userData);
        const bool late = GetTickCount() - m_start > m_overallMs;
        const bool tooLarge = length > 0 && body &&
                              body->bodyLength + static_cast<uint64_t>(length) > MarkupDocument::kMaxFileSize;
        if (late || tooLarge) {
            m_abandoned = true;
            return -1;  // cancels the request
        }
        return ZIPNetResHandler::OnData(data, length, task);
    }
    void OnComplete(const wchar_t* cachedPath, stRequestTask* task) override
    {
        m_completed = true;
        ZIPNetResHandler::OnComplete(cachedPath, task);
    }

private:
    DWORD m_start;
    DWORD m_overallMs;
    bool m_completed = false;
    bool m_failed = false;
    bool m_abandoned = false;
};

// A window takes one root: a further top-level control, built like the
// first (its subtree's includes have taken effect), is forgotten by the core
// and deleted, so no later look-up can reach it.
void DeleteExtraTopLevel(Control* control, WindowCore* core)
{
    if (core)
        core->ForgetControl(control);
    delete control;
}

struct NetResManagerDeleter {
    void operator()(CNetResManager* manager) const { DestroyNetResManager(manager); }
};

// Where a built child goes: the content of a tree node element (anything
// but a nested node) fills the node's item box; else the parent's box.
IBox* ContentBoxOf(Control* parent, Control* child, IBox* box)
{
    auto* node = static_cast<TreeNode*>(parent->CastTo(L"TreeNode"));
    if (!node || child->CastTo(L"TreeNode") || !node->GetItemBox())
        return box;
    return node->GetItemBox();
}

} // namespace

DialogBuilder::DialogBuilder() = default;
DialogBuilder::~DialogBuilder() = default;

void DialogBuilder::SetNetIncludeLimitsForTesting(const NetIncludeLimits& limits) { g_netIncludeLimits = limits; }

Control* DialogBuilder::Build(const wchar_t* skin, IDialogBuilderCallback* callback, WindowCore* core,
                              Control* parent)
{
    m_callback = callback;
    if (!LoadSkin(skin))
        return nullptr;
    return BuildWindow(core, parent);
}

bool DialogBuilder::LoadSkin(const wchar_t* skin)
{
    if (!skin)
        return false;
    return skin[0] == L'<' ? m_document.ParseText(skin) : m_document.LoadSkinFile(skin);
}

void DialogBuilder::LoadStringTable(const wchar_t* file, WindowCore* core)
{
    if (!core || !file || !m_document.LoadSkinFile(file))
        return;
    for (MarkupNode node = m_document.GetRoot().GetChild(); node.IsValid(); node = node.GetSibling()) {
        if (!Is(node.GetName(), L"string"))
            continue;
        const wchar_t* key = node.GetAttributeCount() > 0 ? node.GetAttributeValue(0) : L"";
        core->AddString(key, node.GetValue());  // refused when the key is there: the first one wins
    }
}

Control* DialogBuilder::CreateControl(const wchar_t* className, WindowCore* core)
{
    if (Control* control = GetControlClassRegistry().Create(NarrowClassName(className)))
        return control;
    if (m_callback)
        return m_callback->CreateCustomControl(className, core);
    if (m_hook)
        return m_hook(className, core);
    return nullptr;
}

Control* DialogBuilder::BuildControls(MarkupNode node, Control* parent, WindowCore* core)
{
    Control* result = nullptr;
    IBox* box = nullptr;
    bool boxAsked = false;
    for (MarkupNode element = node.GetChild(); element.IsValid(); element = element.GetSibling()) {
        const wchar_t* className = element.GetName();
        if (IsWindowLevelName(className))
            continue;
        if (Is(className, L"Include")) {
            BuildInclude(element, parent, core);
            continue;
        }
        std::unique_ptr<Control> control(CreateControl(className, core));
        if (!control)
            continue;  // nobody makes this class: the element and its subtree are skipped
        if (element.HasChildren())
            BuildControls(element, control.get(), core);
        if (parent) {
            if (!boxAsked) {
                box = static_cast<IBox*>(parent->CastTo(L"IBox"));
                boxAsked = true;
            }
            if (!box)
                return nullptr;  // not a container: the rest of this level is not built
            if (!ContentBoxOf(parent, control.get(), box)->AppendChild(control.get()))
                continue;
        }
        // From here the parent (when there is one) owns the control.
        Control* built = control.release();
        if (core) {
            built->AttachCore(core, parent, false);
            if (const wchar_t* defaults = core->FindDefaultAttributes(className))
                built->ApplyAttributeText(defaults);
        }
        for (int i = 0; i < element.GetAttributeCount(); ++i)
            built->SetAttribute(element.GetAttributeName(i), element.GetAttributeValue(i));
        if (!result)
            result = built;
        else if (!parent)
            DeleteExtraTopLevel(built, core);
    }
    return result;
}

void DialogBuilder::BuildInclude(MarkupNode node, Control* parent, WindowCore* core)
{
    const int count = node.HasAttribute(L"count") ? ParseInt(IncludeValue(node.LookupAttribute(L"count")).c_str()) : 1;
    if (count < 1)
        return;
    const bool fromNet = node.HasAttribute(L"fromnet") && Is(node.LookupAttribute(L"fromnet"), L"true");
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        if (!Is(node.GetAttributeName(i), L"source"))
            continue;
        const std::wstring source = IncludeValue(node.GetAttributeValue(i));
        if (fromNet)
            BuildNetInclude(source.c_str(), count, parent, core);
        else
            BuildLocalInclude(source.c_str(), count, parent, core);
    }
}

void DialogBuilder::BuildLocalInclude(const wchar_t* source, int count, Control* parent, WindowCore* core)
{
    for (int i = 0; i < count; ++i) {
        DialogBuilder included;
        included.m_callback = m_callback;
        if (!m_callback)
            included.m_hook = m_hook;
        if (!included.LoadSkin(source))
            return;  // unreadable or malformed: builds nothing, the next try would fail alike
        BuildIncluded(included, parent, core);
    }
}

void DialogBuilder::BuildNetInclude(const wchar_t* url, int count, Control* parent, WindowCore* core)
{
    // Disk cache first: a fresh copy answers without the network.
    const std::wstring& folder = GetUiCacheFolder();
    if (!folder.empty() && !PathFileExistsW(folder.c_str()))
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    std::unique_ptr<CNetResManager, NetResManagerDeleter> manager(
        CreateNetResManager(folder.empty() ? nullptr : folder.c_str()));
    if (!manager)
        return;

    // One synchronous request on this (the UI) thread, bounded in every step
    // and in all.
    const NetIncludeLimits limits = g_netIncludeLimits;
    IncludeFetchHandler handler(limits.overallMs);
    SyncCtx body;
    stRequestTask task;
    task.url = url;
    task.handler = &handler;
    task.userData = &body;
    task.synchronous = 1;
    task.resolveTimeout = limits.resolveMs;
    task.connectTimeout = limits.stepMs;
    task.sendTimeout = limits.stepMs;
    task.receiveTimeout = limits.stepMs;
    if (!manager->AddTask(&task) || !handler.Succeeded())
        return;

    for (int i = 0; i < count; ++i) {
        DialogBuilder included;
        included.m_callback = m_callback;
        if (!m_callback)
            included.m_hook = m_hook;
        if (body.bodyLength > 0 &&
            !included.m_document.ParseUtf8(reinterpret_cast<const uint8_t*>(body.body), body.bodyLength))
            return;  // malformed: builds nothing
        BuildIncluded(included, parent, core);
    }
}

void DialogBuilder::BuildIncluded(DialogBuilder& included, Control* parent, WindowCore* core)
{
    Control* first = included.BuildWindow(core, parent);
    // Without a parent nothing holds it: an include adds no root to a window.
    if (first && !parent)
        DeleteExtraTopLevel(first, core);
}

} // namespace ui
