// Dialog builder, window level: the window-wide elements of a skin (direct
// children of its root) go into the window core's tables, and a root
// "Window" element's attributes into the core and its native window. Then
// the control pass (DialogBuilderControls.cpp) builds the tree.
#include "Corvel/Core/DialogBuilder.h"

#include <cwchar>
#include <memory>
#include <string>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/PrivateFonts.h"
#include "Corvel/Render/StyleDefinitions.h"

namespace ui {

namespace {

constexpr int kDefaultFontSize = 12;
// A "Transform" child's value starting with this drives the cell by the
// animated value named by the rest of the text.
constexpr wchar_t kCellExpressionPrefix[] = L":>";
constexpr size_t kCellExpressionPrefixLength = 2;
// Position and size items: "50%" reads as 0.5; a factor is at most 1.
constexpr float kPercent = 100.0f;
constexpr float kLargestFactor = 1.0f;

bool Is(const wchar_t* a, const wchar_t* b) { return a && b && wcscmp(a, b) == 0; }
bool IsTrue(const wchar_t* value) { return Is(value, L"true"); }

// One "pos"/"size" item: a decimal number, divided by 100 when it has "%".
float ReadSizeItem(const std::wstring& item)
{
    float value = ParseFloat(item.c_str());
    if (item.find(L'%') != std::wstring::npos)
        value /= kPercent;
    return value;
}

// The first two ","-separated items; missing ones are 0.
void ReadSizePair(const wchar_t* text, float& x, float& y)
{
    const std::wstring value = text;
    const size_t comma = value.find(L',');
    x = ReadSizeItem(value.substr(0, comma));
    if (comma == std::wstring::npos) {
        y = 0;
        return;
    }
    const size_t next = value.find(L',', comma + 1);
    y = ReadSizeItem(value.substr(comma + 1, next == std::wstring::npos ? std::wstring::npos : next - comma - 1));
}

RECT ReadRect(const wchar_t* text)
{
    int v[4] = {};
    ParseIntList(text, v, 4);
    return RECT{v[0], v[1], v[2], v[3]};
}

// Every attribute of a style markup element except "name" (which names the
// element and is never kept as an attribute).
void CopyStyleAttributes(MarkupNode node, StyleElement& element)
{
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        if (!Is(name, L"name"))
            element.SetAttribute(name, node.GetAttributeValue(i));
    }
}

std::unique_ptr<StyleElement> ReadStyleElement(MarkupNode node)
{
    auto element = std::make_unique<StyleElement>(node.LookupAttribute(L"name"), node.GetName());
    CopyStyleAttributes(node, *element);
    if (Is(node.GetName(), L"Path")) {
        for (MarkupNode g = node.GetChild(); g.IsValid(); g = g.GetSibling()) {
            auto geometry =
                std::make_unique<StyleElement>(g.LookupAttribute(L"name"), g.GetName(), StyleElement::Form::kGeometry);
            CopyStyleAttributes(g, *geometry);
            element->AddChild(std::move(geometry));
        }
    }
    return element;
}

// "Inherit" of a "Style": "group.entry" names an entry of a group of the
// core, a plain name an entry of the group being built. Null when unknown.
const StyleEntry* ResolveInheritedEntry(const wchar_t* name, const StyleGroup& building, WindowCore* core)
{
    const std::wstring text = name;
    const size_t dot = text.find(L'.');
    if (dot == std::wstring::npos)
        return building.Find(name);
    const StyleGroup* group = core->FindStyleGroup(text.substr(0, dot).c_str());
    return group ? group->Find(text.substr(dot + 1).c_str()) : nullptr;
}

void ReadStyleEntry(MarkupNode node, StyleGroup& group, WindowCore* core)
{
    const std::wstring names = node.LookupAttribute(L"name");
    auto entry = std::make_unique<StyleEntry>(names.substr(0, names.find(L',')).c_str());
    for (MarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (Is(child.GetName(), L"Inherit")) {
            if (const StyleEntry* source = ResolveInheritedEntry(child.LookupAttribute(L"name"), group, core))
                entry->CopyElementsFrom(*source);
            continue;
        }
        entry->AddElement(ReadStyleElement(child));
    }
    group.AddForStateList(names.c_str(), std::move(entry));
}

// "pos": each item up to 1.0 is a factor of the free monitor space, a
// larger one an absolute position; the other axis keeps what it had.
void ApplyPosition(WindowCore& core, const wchar_t* value)
{
    float x = 0, y = 0;
    ReadSizePair(value, x, y);
    POINT pos = core.GetPosition();
    float fx = 0, fy = 0;
    core.GetPositionFactors(fx, fy);
    if (x <= kLargestFactor)
        fx = x;
    else
        pos.x = static_cast<LONG>(x);
    if (y <= kLargestFactor)
        fy = y;
    else
        pos.y = static_cast<LONG>(y);
    core.SetPosition(pos.x, pos.y);
    core.SetPositionFactors(fx, fy);
}

void ApplyTrackingLimit(WindowCore& core, const wchar_t* value, bool minimum)
{
    int size[2] = {};
    ParseIntList(value, size, 2);
    int minW, minH, maxW, maxH;
    core.GetTrackingLimits(minW, minH, maxW, maxH);
    if (minimum)
        core.SetTrackingLimits(size[0], size[1], maxW, maxH);
    else
        core.SetTrackingLimits(minW, minH, size[0], size[1]);
}

// The window's text colours, in the order SetDefaultColors takes them:
// disabled, default, link, hovered link, selection background.
enum WindowColor { kColorDisabled, kColorText, kColorLink, kColorLinkHot, kColorTextBk, kWindowColorCount };

void ApplyWindowColor(WindowCore& core, WindowColor which, const wchar_t* value)
{
    uint32_t colors[kWindowColorCount] = {core.GetDisabledTextColor(), core.GetTextColor(), core.GetLinkTextColor(),
                                          core.GetLinkHotTextColor(), core.GetTextBkColor()};
    colors[which] = ParseHexColor(value);
    core.SetDefaultColors(colors[kColorDisabled], colors[kColorText], colors[kColorLink], colors[kColorLinkHot],
                          colors[kColorTextBk]);
}

// The attributes of a root "Window" element; any other is ignored.
struct WindowAttribute {
    const wchar_t* name;
    void (*apply)(WindowCore& core, const wchar_t* value);
};
const WindowAttribute kWindowAttributes[] = {
    {L"pos", &ApplyPosition},
    {L"size",
     [](WindowCore& core, const wchar_t* value) {
         float cx = 0, cy = 0;
         ReadSizePair(value, cx, cy);
         core.SetMonitorRelativeSize(cx, cy, false);
     }},
    {L"sizebox", [](WindowCore& core, const wchar_t* value) { core.SetSizeBox(ReadRect(value)); }},
    {L"caption", [](WindowCore& core, const wchar_t* value) { core.SetCaption(ReadRect(value)); }},
    {L"title",
     [](WindowCore& core, const wchar_t* value) {
         core.SetTitle(value);
         if (*value)
             SetWindowTextW(core.GetWindow(), value);
     }},
    {L"min", [](WindowCore& core, const wchar_t* value) { ApplyTrackingLimit(core, value, true); }},
    {L"max", [](WindowCore& core, const wchar_t* value) { ApplyTrackingLimit(core, value, false); }},
    {L"alpha", [](WindowCore& core, const wchar_t* value) { core.ApplyWindowAlpha(ParseInt(value)); }},
    {L"bktrans", [](WindowCore& core, const wchar_t* value) { core.SetCaptionless(IsTrue(value)); }},
    {L"shadow", [](WindowCore& core, const wchar_t* value) { core.ParseWindowShadow(value); }},
    {L"glass", [](WindowCore& core, const wchar_t* value) { core.SetBackdropWanted(IsTrue(value)); }},
    {L"drop", [](WindowCore& core, const wchar_t* value) { core.SetAcceptFiles(IsTrue(value)); }},
    {L"disabledfontcolor", [](WindowCore& core, const wchar_t* v) { ApplyWindowColor(core, kColorDisabled, v); }},
    {L"defaultfontcolor", [](WindowCore& core, const wchar_t* v) { ApplyWindowColor(core, kColorText, v); }},
    {L"linkfontcolor", [](WindowCore& core, const wchar_t* v) { ApplyWindowColor(core, kColorLink, v); }},
    {L"linkhoverfontcolor", [](WindowCore& core, const wchar_t* v) { ApplyWindowColor(core, kColorLinkHot, v); }},
    {L"selectedcolor", [](WindowCore& core, const wchar_t* v) { ApplyWindowColor(core, kColorTextBk, v); }},
};

} // namespace

Control* DialogBuilder::BuildWindow(WindowCore* core, Control* parent)
{
    MarkupNode root = m_document.GetRoot();
    if (!root.IsValid())
        return nullptr;
    if (core) {
        ReadWindowLevelElements(root, core);
        if (Is(root.GetName(), L"Window") && core->GetWindow())
            ApplyWindowAttributes(root, core);
    }
    return BuildControls(root, parent, core);
}

void DialogBuilder::ReadWindowLevelElements(MarkupNode root, WindowCore* core)
{
    for (MarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* name = node.GetName();
        if (Is(name, L"Font"))
            ReadFont(node, core);
        else if (Is(name, L"Default"))
            ReadDefault(node, core);
        else if (Is(name, L"Transform"))
            ReadTransform(node, core);
        else if (Is(name, L"Styles"))
            ReadStyles(node, core);
        else if (Is(name, L"ResPrefix"))
            ReadResPrefix(node);
        else if (Is(name, L"Animation"))
            ReadAnimation(node, core);
        else if (Is(name, L"Tray"))
            ReadTray(node, core);
    }
}

void DialogBuilder::ReadFont(MarkupNode node, WindowCore* core)
{
    std::wstring face;
    int size = kDefaultFontSize;
    bool bold = false, underline = false, italic = false, strikeout = false;
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        const wchar_t* value = node.GetAttributeValue(i);
        if (Is(name, L"name"))
            face = value;
        else if (Is(name, L"size"))
            size = ParseInt(value);
        else if (Is(name, L"bold"))
            bold = IsTrue(value);
        else if (Is(name, L"underline"))
            underline = IsTrue(value);
        else if (Is(name, L"italic"))
            italic = IsTrue(value);
        else if (Is(name, L"strikeout"))
            strikeout = IsTrue(value);
        else if (Is(name, L"load"))
            LoadPrivateFont(face.c_str(), value);  // null (not loaded): the face falls back at drawing
    }
    if (!face.empty())
        core->AddFont(core->GetScale(), face.c_str(), size, bold, underline, italic, strikeout);
}

void DialogBuilder::ReadDefault(MarkupNode node, WindowCore* core)
{
    const wchar_t* className = node.LookupAttribute(L"name");
    if (!core->GetDefaultAttributeList(className))
        core->SetDefaultAttributeList(className, node.LookupAttribute(L"value"));
}

void DialogBuilder::ReadTransform(MarkupNode node, WindowCore* core)
{
    if (!node.HasNameAttribute())
        return;
    auto transform = std::make_unique<ControlTransform>();
    transform->SetName(node.LookupAttribute(L"name"));
    TransformParams& params = transform->Params();
    params.perspective = ParseFloat(node.LookupAttribute(L"depth"));
    for (MarkupNode part = node.GetChild(); part.IsValid(); part = part.GetSibling()) {
        // Matrix row of the part, and the parameter triple it sets.
        int row = 0;
        float* values = nullptr;
        if (Is(part.GetName(), L"Scale")) {
            row = 1;
            values = params.scale;
        } else if (Is(part.GetName(), L"Rotate")) {
            row = 2;
            values = params.rotation;
        } else if (Is(part.GetName(), L"Translate")) {
            row = 3;
            values = params.translation;
        } else {
            continue;
        }
        static const wchar_t* const kAxes[] = {L"x", L"y", L"z"};
        for (int column = 1; column <= 3; ++column) {
            if (!part.HasAttribute(kAxes[column - 1]))
                continue;
            const wchar_t* value = part.LookupAttribute(kAxes[column - 1]);
            if (wcsncmp(value, kCellExpressionPrefix, kCellExpressionPrefixLength) == 0)
                transform->SetMatrixCell(std::to_wstring(row) + L"_" + std::to_wstring(column),
                                         value + kCellExpressionPrefixLength);
            else
                values[column - 1] = ParseFloat(value);
        }
    }
    core->AddTransform(std::move(transform));
}

void DialogBuilder::ReadStyles(MarkupNode node, WindowCore* core)
{
    std::wstring groupName;
    std::unique_ptr<StyleGroup> group;
    for (int i = 0; i < node.GetAttributeCount(); ++i) {
        const wchar_t* name = node.GetAttributeName(i);
        if (Is(name, L"name")) {
            groupName = node.GetAttributeValue(i);
        } else if (Is(name, L"inherit") && !groupName.empty()) {
            if (!group)
                group = std::make_unique<StyleGroup>();
            if (const StyleGroup* base = core->FindStyleGroup(node.GetAttributeValue(i)))
                group->CopyEntriesFrom(*base);
        }
    }
    if (groupName.empty())
        return;
    if (!group)
        group = std::make_unique<StyleGroup>();
    for (MarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (Is(child.GetName(), L"Style"))
            ReadStyleEntry(child, *group, core);
    }
    core->AddStyleGroup(groupName.c_str(), std::move(group));
}

void DialogBuilder::ReadResPrefix(MarkupNode node)
{
    const int scale = ParseInt(node.LookupAttribute(L"scale"));
    if (node.HasAttribute(L"source") && scale != 0)
        SetScalePrefix(scale, node.LookupAttribute(L"source"));
}

void DialogBuilder::ReadAnimation(MarkupNode node, WindowCore* core)
{
    AnimationSpec spec;
    spec.duration = ParseFloat(node.LookupAttribute(L"duration"));
    spec.easing = ParseEasingName(node.LookupAttribute(L"func"));
    spec.slope = node.LookupAttribute(L"slope");
    spec.repeat = ParseInt(node.LookupAttribute(L"repeat"));
    for (MarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (!Is(child.GetName(), L"Property") || !child.HasNameAttribute())
            continue;
        AnimationProperty property;
        property.name = child.LookupAttribute(L"name");
        property.from = ParseFloat(child.LookupAttribute(L"from"));
        property.to = ParseFloat(child.LookupAttribute(L"to"));
        property.target = child.LookupAttribute(L"target");
        spec.properties.push_back(std::move(property));
    }
    core->SetAnimationSpec(node.LookupAttribute(L"name"), spec);
}

void DialogBuilder::ReadTray(MarkupNode node, WindowCore* core)
{
    auto record = std::make_unique<WindowCore::TrayMenuRecord>();
    record->tip = node.LookupAttribute(L"name");
    if (record->tip.empty())
        return;
    for (MarkupNode item = node.GetChild(); item.IsValid(); item = item.GetSibling()) {
        if (!Is(item.GetName(), L"TrayItem") || !item.HasNameAttribute())
            continue;
        const UINT id = WindowCore::kTrayCommandBase + static_cast<UINT>(record->items.size());
        record->items.push_back({id, item.LookupAttribute(L"name"), item.LookupAttribute(L"text")});
    }
    core->SetTrayMenu(std::move(record));
}

void DialogBuilder::ApplyWindowAttributes(MarkupNode root, WindowCore* core)
{
    for (int i = 0; i < root.GetAttributeCount(); ++i) {
        const wchar_t* name = root.GetAttributeName(i);
        for (const WindowAttribute& attribute : kWindowAttributes) {
            if (Is(name, attribute.name)) {
                attribute.apply(*core, root.GetAttributeValue(i));
                break;
            }
        }
    }
}

} // namespace ui
