// Style records as the dialog builder makes them: element kinds and names,
// replace-by-name in entries and paths, entries listed under several state
// names, inheritance copies, and the window core's style table.
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/StyleDefinitions.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using ui::StyleElement;
using ui::StyleEntry;
using ui::StyleGroup;

std::unique_ptr<StyleElement> Element(const wchar_t* tag, const wchar_t* name,
                                      std::vector<std::pair<const wchar_t*, const wchar_t*>> attributes = {})
{
    auto e = std::make_unique<StyleElement>(name, tag);
    for (const auto& a : attributes)
        e->SetAttribute(a.first, a.second);
    return e;
}

std::vector<std::wstring> ElementNames(const StyleEntry& entry)
{
    std::vector<std::wstring> names;
    for (const auto& e : entry.GetElements())
        names.push_back(e->GetName().ToStdString());
    return names;
}

// "hot" of the skins' close button: a filled rectangle and two crossing
// lines.
std::unique_ptr<StyleEntry> CloseButtonHot()
{
    auto hot = std::make_unique<StyleEntry>(L"hot");
    hot->AddElement(Element(L"Shape", L"bg", {{L"fill", L"true"}, {L"type", L"rect"}, {L"color", L"0x7FEB1123"}}));
    hot->AddElement(Element(L"Shape", nullptr,
                            {{L"type", L"line"}, {L"size", L"2"}, {L"ptse", L"15,10,28,22"}, {L"color", L"0xfe000000"}}));
    hot->AddElement(Element(L"Shape", nullptr,
                            {{L"type", L"line"}, {L"size", L"2"}, {L"ptse", L"15,22,28,10"}, {L"color", L"0xfe000000"}}));
    return hot;
}

TEST(StyleElementTest, KindFollowsTheExactTagInEachForm)
{
    struct Case {
        const wchar_t* tag;
        StyleElement::Form form;
        int kind;
    } cases[] = {
        {L"Image", StyleElement::Form::kElement, ui::kElementImage},
        {L"Text", StyleElement::Form::kElement, ui::kElementText},
        {L"Shape", StyleElement::Form::kElement, ui::kElementShape},
        {L"Path", StyleElement::Form::kElement, ui::kElementPath},
        {L"Action", StyleElement::Form::kElement, ui::kElementApplication},
        {L"shape", StyleElement::Form::kElement, ui::kElementApplication},
        {L"Points", StyleElement::Form::kElement, ui::kElementApplication},
        {L"Points", StyleElement::Form::kGeometry, ui::kGeometryPoints},
        {L"Rect", StyleElement::Form::kGeometry, ui::kGeometryRect},
        {L"Arc", StyleElement::Form::kGeometry, ui::kGeometryArc},
        {L"Pie", StyleElement::Form::kGeometry, ui::kGeometryPie},
        {L"Round", StyleElement::Form::kGeometry, ui::kGeometryRound},
        {L"rect", StyleElement::Form::kGeometry, ui::kGeometryOther},
        {L"Shape", StyleElement::Form::kGeometry, ui::kGeometryOther},
    };
    for (const Case& c : cases) {
        StyleElement e(L"n", c.tag, c.form);
        EXPECT_EQ(c.kind, e.GetKind()) << c.tag;
        EXPECT_STREQ(c.tag, e.GetTag().GetData());
    }
}

TEST(StyleElementTest, UnnamedElementsGetNamesThatNeverRepeat)
{
    // Elements made and freed one after another would share an address; the
    // names must still differ.
    std::set<std::wstring> names;
    for (int i = 0; i < 50; ++i) {
        StyleElement e(nullptr, L"Shape");
        EXPECT_FALSE(e.HasGivenName());
        EXPECT_EQ(0, e.GetName().Find(L"Shape_")) << e.GetName().GetData();
        names.insert(e.GetName().ToStdString());
    }
    EXPECT_EQ(50u, names.size());

    StyleElement empty(L"", L"Text");
    EXPECT_EQ(0, empty.GetName().Find(L"Text_"));
    StyleElement named(L"label", L"Text");
    EXPECT_TRUE(named.HasGivenName());
    EXPECT_STREQ(L"label", named.GetName().GetData());
}

TEST(StyleElementTest, AttributesReplaceInPlaceAndIgnoreNulls)
{
    StyleElement e(L"s", L"Shape");
    e.SetAttribute(L"type", L"rect");
    e.SetAttribute(L"color", L"0xFF000000");
    e.SetAttribute(L"type", L"line");
    e.SetAttribute(nullptr, L"x");
    e.SetAttribute(L"fill", nullptr);
    ASSERT_EQ(2u, e.GetAttributes().size());
    EXPECT_STREQ(L"type", e.GetAttributes()[0].name.GetData());
    EXPECT_STREQ(L"line", e.GetAttribute(L"type"));
    EXPECT_STREQ(L"0xFF000000", e.GetAttribute(L"color"));
    EXPECT_EQ(nullptr, e.GetAttribute(L"fill"));
    EXPECT_EQ(nullptr, e.GetAttribute(L"Type")) << "names compare exactly";
}

TEST(StyleElementTest, PathChildrenReplaceByNameAndGeometryHoldsNone)
{
    StyleElement path(L"p", L"Path");
    auto first = std::make_unique<StyleElement>(L"a", L"Rect", StyleElement::Form::kGeometry);
    first->SetAttribute(L"pos", L"1,1");
    EXPECT_TRUE(path.AddChild(std::move(first)));
    EXPECT_TRUE(path.AddChild(std::make_unique<StyleElement>(L"b", L"Arc", StyleElement::Form::kGeometry)));
    auto replacement = std::make_unique<StyleElement>(L"a", L"Pie", StyleElement::Form::kGeometry);
    EXPECT_TRUE(path.AddChild(std::move(replacement)));
    EXPECT_FALSE(path.AddChild(nullptr));
    ASSERT_EQ(2u, path.GetChildren().size());
    EXPECT_STREQ(L"Pie", path.GetChildren()[0]->GetTag().GetData()) << "the new child takes the old slot";
    EXPECT_EQ(nullptr, path.GetChildren()[0]->GetAttribute(L"pos"));
    EXPECT_STREQ(L"Arc", path.GetChildren()[1]->GetTag().GetData());

    StyleElement geometry(L"g", L"Rect", StyleElement::Form::kGeometry);
    EXPECT_FALSE(geometry.AddChild(std::make_unique<StyleElement>(L"x", L"Rect", StyleElement::Form::kGeometry)));
    EXPECT_TRUE(geometry.GetChildren().empty());
}

TEST(StyleEntryTest, InheritedElementsKeepTheirOrderWhenOverridden)
{
    auto normal = std::make_unique<StyleEntry>(L"normal");
    normal->AddElement(Element(L"Shape", L"bg", {{L"color", L"0xFF111111"}}));
    normal->AddElement(Element(L"Text", L"label", {{L"text", L"Close"}}));
    normal->AddElement(Element(L"Shape", nullptr));
    normal->AddElement(Element(L"Shape", nullptr));
    ASSERT_EQ(4u, normal->GetElements().size()) << "two unnamed elements never replace each other";

    // "Inherit" of "normal", then an element named like an inherited one.
    StyleEntry pushed(L"pushed");
    pushed.CopyElementsFrom(*normal);
    pushed.AddElement(Element(L"Shape", L"bg", {{L"color", L"0xFF222222"}}));
    pushed.AddElement(Element(L"Image", L"icon"));
    EXPECT_EQ(ElementNames(*normal).size() + 1, pushed.GetElements().size());
    std::vector<std::wstring> expected = ElementNames(*normal);
    expected.push_back(L"icon");
    EXPECT_EQ(expected, ElementNames(pushed));
    EXPECT_STREQ(L"0xFF222222", pushed.FindElement(L"bg")->GetAttribute(L"color"));
    EXPECT_STREQ(L"0xFF111111", normal->FindElement(L"bg")->GetAttribute(L"color")) << "the source is untouched";
    EXPECT_FALSE(pushed.AddElement(nullptr));
}

TEST(StyleGroupTest, AStateListMakesOneDeepCopyPerName)
{
    StyleGroup group;
    auto entry = std::make_unique<StyleEntry>(L"hover");
    auto path = Element(L"Path", L"arrow", {{L"color", L"0xFF00FF00"}});
    auto points = std::make_unique<StyleElement>(L"pts", L"Points", StyleElement::Form::kGeometry);
    points->SetAttribute(L"type", L"polygon");
    path->AddChild(std::move(points));
    entry->AddElement(std::move(path));
    ASSERT_TRUE(group.AddForStateList(L"hover,pushed", std::move(entry)));

    ASSERT_EQ(2, group.GetCount());
    StyleEntry* hover = group.Find(L"hover");
    StyleEntry* pushed = group.Find(L"pushed");
    ASSERT_NE(nullptr, hover);
    ASSERT_NE(nullptr, pushed);
    EXPECT_STREQ(L"pushed", pushed->GetName().GetData());
    EXPECT_EQ(ElementNames(*hover), ElementNames(*pushed));
    const StyleElement* copied = pushed->FindElement(L"arrow");
    ASSERT_NE(nullptr, copied);
    EXPECT_NE(hover->FindElement(L"arrow"), copied) << "a copy, not a shared element";
    ASSERT_EQ(1u, copied->GetChildren().size());
    EXPECT_STREQ(L"polygon", copied->GetChildren()[0]->GetAttribute(L"type"));
    EXPECT_EQ(StyleElement::Form::kGeometry, copied->GetChildren()[0]->GetForm());

    // A state joined with "|" stays one entry.
    ASSERT_TRUE(group.AddForStateList(L"hot|focused", std::make_unique<StyleEntry>(L"hot|focused")));
    EXPECT_EQ(3, group.GetCount());
    ui::Control control;
    EXPECT_EQ(48, control.ParseStateMask(group.GetAt(2)->GetName().GetData()));

    EXPECT_FALSE(group.AddForStateList(L",", std::make_unique<StyleEntry>(L"x")));
    EXPECT_EQ(3, group.GetCount());
}

TEST(StyleGroupTest, ASecondEntryOfANameTakesTheFirstOnesSlot)
{
    StyleGroup group;
    group.Add(L"normal", std::make_unique<StyleEntry>(L"normal"));
    group.Add(L"hot", CloseButtonHot());
    auto replacement = std::make_unique<StyleEntry>(L"normal");
    replacement->AddElement(Element(L"Text", L"t"));
    StyleEntry* raw = replacement.get();
    group.Add(L"normal", std::move(replacement));
    ASSERT_EQ(2, group.GetCount());
    EXPECT_EQ(raw, group.GetAt(0));
    EXPECT_EQ(raw, group.Find(L"normal"));
    EXPECT_STREQ(L"hot", group.GetAt(1)->GetName().GetData());
    EXPECT_FALSE(group.Add(nullptr, std::make_unique<StyleEntry>(L"x")));
    EXPECT_FALSE(group.Add(L"x", nullptr));
    EXPECT_EQ(nullptr, group.Find(L"x"));
}

TEST(StyleGroupTest, InheritingAGroupCopiesEveryEntryDeeply)
{
    StyleGroup base;
    base.Add(L"normal", std::make_unique<StyleEntry>(L"normal"));
    base.Add(L"hot", CloseButtonHot());

    StyleGroup derived;
    derived.CopyEntriesFrom(base);
    // The derived group overrides one element of its copy of "hot".
    derived.Find(L"hot")->AddElement(Element(L"Shape", L"bg", {{L"color", L"0xFF0000FF"}}));

    ASSERT_EQ(2, derived.GetCount());
    EXPECT_STREQ(L"normal", derived.GetAt(0)->GetName().GetData());
    EXPECT_EQ(ElementNames(*base.Find(L"hot")), ElementNames(*derived.Find(L"hot")))
        << "unnamed elements keep their generated names in the copy";
    EXPECT_STREQ(L"0x7FEB1123", base.Find(L"hot")->FindElement(L"bg")->GetAttribute(L"color"));
    EXPECT_STREQ(L"0xFF0000FF", derived.Find(L"hot")->FindElement(L"bg")->GetAttribute(L"color"));
    const StyleElement* line = derived.Find(L"hot")->GetElements()[1].get();
    EXPECT_FALSE(line->HasGivenName());
    EXPECT_STREQ(L"15,10,28,22", line->GetAttribute(L"ptse"));
}

TEST(WindowCoreStylesTest, GroupsAreReplacedByNameAndFoundThroughParentCores)
{
    ui::WindowCore parent;
    ui::WindowCore child;
    child.SetParentCore(&parent);

    auto first = std::make_unique<StyleGroup>();
    first->Add(L"normal", std::make_unique<StyleEntry>(L"normal"));
    ASSERT_TRUE(parent.AddStyleGroup(L"BtnClose", std::move(first)));
    auto second = std::make_unique<StyleGroup>();
    second->Add(L"hot", CloseButtonHot());
    StyleGroup* secondRaw = second.get();
    ASSERT_TRUE(parent.AddStyleGroup(L"BtnClose", std::move(second)));
    EXPECT_EQ(1, parent.StyleGroupCount());
    EXPECT_EQ(secondRaw, parent.FindStyleGroup(L"BtnClose")) << "the second group replaces the first entirely";
    EXPECT_EQ(nullptr, secondRaw->Find(L"normal"));

    EXPECT_EQ(secondRaw, child.FindStyleGroup(L"BtnClose")) << "found through the parent core";
    auto own = std::make_unique<StyleGroup>();
    StyleGroup* ownRaw = own.get();
    child.AddStyleGroup(L"BtnClose", std::move(own));
    EXPECT_EQ(ownRaw, child.FindStyleGroup(L"BtnClose")) << "the core's own group comes first";
    EXPECT_EQ(nullptr, child.FindStyleGroup(L"Missing"));
    EXPECT_EQ(nullptr, child.FindStyleGroup(nullptr));

    EXPECT_FALSE(parent.AddStyleGroup(L"", std::make_unique<StyleGroup>()));
    EXPECT_FALSE(parent.AddStyleGroup(L"x", nullptr));
    parent.ClearStyleGroups();
    EXPECT_EQ(0, parent.StyleGroupCount());
    EXPECT_EQ(ownRaw, child.FindStyleGroup(L"BtnClose"));
    child.ClearStyleGroups();
    EXPECT_EQ(nullptr, child.FindStyleGroup(L"BtnClose"));
}

} // namespace
