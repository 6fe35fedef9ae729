// The dialog builder on real window cores: window-level elements fill the
// core's tables and the native window's properties; the control pass builds
// the tree through the class registry, the callback and the hook; includes
// from the archive, the disk, markup text and a local HTTP server.
#include <winsock2.h>

#include "Corvel/Core/DialogBuilder.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/PrivateFonts.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "support/TestPaths.h"
#include "support/TestService.h"
#include "support/ZipFixture.h"

namespace {

using ui::Control;
using ui::DialogBuilder;
using ui::WindowCore;

// A control class of the tests: counts live instances and records every
// attribute it is given, with whether it sat in its parent box by then.
class TraceControl : public Control {
public:
    struct Call {
        std::wstring name;
        std::wstring value;
        bool inParentBox;
        bool parentJoined;  // the parent had joined its own parent
    };
    TraceControl() { ++s_live; }
    ~TraceControl() override { --s_live; }
    void SetAttribute(const wchar_t* name, const wchar_t* value) override
    {
        Control* parent = GetParent();
        auto* box = parent ? static_cast<ui::IBox*>(parent->CastTo(L"IBox")) : nullptr;
        calls.push_back({name, value, box && box->IndexOfChild(this) >= 0, parent && parent->GetParent()});
        Control::SetAttribute(name, value);
    }
    std::vector<Call> calls;
    static int s_live;
};
int TraceControl::s_live = 0;

// A box of the tests that records when it was given its attributes.
class TraceBox : public ui::Box {
public:
    TraceBox() { ++s_live; }
    ~TraceBox() override { --s_live; }
    void SetAttribute(const wchar_t* name, const wchar_t* value) override
    {
        if (firstAttributeChildCount < 0)
            firstAttributeChildCount = ChildCount();
        if (firstAttributeInParent < 0)
            firstAttributeInParent = GetParent() ? 1 : 0;
        Box::SetAttribute(name, value);
    }
    int firstAttributeChildCount = -1;
    int firstAttributeInParent = -1;
    static int s_live;
};
int TraceBox::s_live = 0;

Control* CreateTraceControl() { return new TraceControl(); }
Control* CreateTraceBox() { return new TraceBox(); }

class RecordingCallback : public ui::IDialogBuilderCallback {
public:
    Control* CreateCustomControl(const wchar_t* className, WindowCore*) override
    {
        asked.push_back(className);
        return wcscmp(className, L"Custom") == 0 ? new TraceControl() : nullptr;
    }
    std::vector<std::wstring> asked;
};

class DialogBuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::RegisterControlClass("Trace", &CreateTraceControl);
        ui::RegisterControlClass("TraceBox", &CreateTraceBox);
        ASSERT_NE(nullptr, win.CreatePopup(400, 300));
    }
    void TearDown() override
    {
        ::CloseSkinArchive();
        ::SetUiResourcePath(nullptr);
        ui::ClearScalePrefixes();
        DialogBuilder::SetNetIncludeLimitsForTesting(DialogBuilder::kDefaultNetIncludeLimits);
    }

    // Builds markup into the window's core with a fresh builder.
    std::unique_ptr<Control> BuildRoot(const wchar_t* markup, ui::IDialogBuilderCallback* callback = nullptr)
    {
        DialogBuilder builder;
        return std::unique_ptr<Control>(builder.Build(markup, callback, &win.core, nullptr));
    }

    // A box holding what the markup builds below it.
    std::unique_ptr<ui::Box> BuildInto(const wchar_t* markup, ui::IDialogBuilderCallback* callback = nullptr)
    {
        auto box = std::make_unique<ui::Box>();
        box->AttachCore(&win.core, nullptr, false);
        DialogBuilder builder;
        builder.Build(markup, callback, &win.core, box.get());
        return box;
    }

    // Opens an archive of the given files as the skin archive.
    void OpenArchive(const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::vector<zipfixture::ZipItem> items;
        for (const auto& f : files) {
            zipfixture::ZipItem item;
            item.name = f.first;
            item.data = f.second;
            items.push_back(item);
        }
        m_zip = zipfixture::BuildZip(items);
        ASSERT_FALSE(m_zip.empty());
        ASSERT_TRUE(::OpenSkinArchive(m_zip.data(), static_cast<uint32_t>(m_zip.size())));
    }

    static std::vector<std::wstring> ChildNames(ui::Box& box)
    {
        std::vector<std::wstring> names;
        for (int i = 0; i < box.ChildCount(); ++i)
            names.push_back(box.ChildAt(i)->GetName().GetData());
        return names;
    }

    testsupport::UiLibraryScope lib;
    testsupport::TestWindow win;
    std::string m_zip;
};

// --- Window level ---------------------------------------------------------

TEST_F(DialogBuilderTest, FontElementIsUsedByControlsThroughItsKey)
{
    auto box = BuildInto(LR"(<Window>
        <Font name="Arial" size="20" bold="true" italic="yes"/>
        <Font size="30"/>
        <Trace name="t" font="name='Arial' size='20' bold='true'"/>
    </Window>)");
    ui::FontManager* fonts = win.core.GetSharedFontManager();
    ASSERT_NE(nullptr, fonts);
    const float scale = win.core.GetScale();
    // Declared with the window's scale; only the exact value "true" turns a
    // style on.
    ui::tagTFontInfo* font = fonts->FindFont(scale, L"Arial", 20, true, false, false, false);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(nullptr, fonts->FindFont(scale, L"Arial", 20, true, false, true, false));
    ASSERT_EQ(1, box->ChildCount());
    EXPECT_EQ(font->index, box->ChildAt(0)->GetFontId());
}

TEST_F(DialogBuilderTest, FontLoadRegistersTheFileUnderTheNameReadSoFar)
{
    std::string sans;
    testsupport::ReadFileBytes(L"Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf", sans);
    if (sans.empty())
        GTEST_SKIP() << "DejaVuSans.ttf is not installed";
    OpenArchive({{"RES/fonts/Title.ttf", sans}});
    BuildRoot(LR"(<Window>
        <Font name="SkinTitle" load="RES/fonts/Title.ttf" size="18"/>
        <Font load="RES/fonts/Title.ttf" name="LateName"/>
    </Window>)");
    EXPECT_NE(nullptr, ui::FindPrivateFontCollection(L"SkinTitle", nullptr));
    EXPECT_EQ(nullptr, ui::FindPrivateFontCollection(L"LateName", nullptr));
    // Both are declared fonts of the window all the same.
    ui::FontManager* fonts = win.core.GetSharedFontManager();
    ASSERT_NE(nullptr, fonts);
    EXPECT_NE(nullptr, fonts->FindFont(win.core.GetScale(), L"SkinTitle", 18, false, false, false, false));
    EXPECT_NE(nullptr, fonts->FindFont(win.core.GetScale(), L"LateName", 12, false, false, false, false));
}

TEST_F(DialogBuilderTest, DefaultListsApplyToTheirClassAndTheFirstDefinitionStays)
{
    auto box = BuildInto(LR"(<Window>
        <Default name="Trace" value="width=&quot;20&quot; height=&quot;7&quot; tooltip=&quot;d&quot;"/>
        <Default name="Trace" value="height=&quot;99&quot;"/>
        <Trace name="a" width="30"/>
        <Control name="b"/>
    </Window>)");
    ASSERT_EQ(2, box->ChildCount());
    auto* a = static_cast<TraceControl*>(box->ChildAt(0));
    EXPECT_EQ(30, a->GetRawFixedWidth());   // the element overrides the default
    EXPECT_EQ(7, a->GetRawFixedHeight());   // the first Default stays
    // Defaults first, then the element's own attributes in markup order.
    ASSERT_EQ(5u, a->calls.size());
    EXPECT_EQ(L"width", a->calls[0].name);
    EXPECT_EQ(L"20", a->calls[0].value);
    EXPECT_EQ(L"height", a->calls[1].name);
    EXPECT_EQ(L"tooltip", a->calls[2].name);
    EXPECT_EQ(L"name", a->calls[3].name);
    EXPECT_EQ(L"width", a->calls[4].name);
    EXPECT_EQ(L"30", a->calls[4].value);
    // Another class does not get them.
    EXPECT_EQ(-1, box->ChildAt(1)->GetRawFixedHeight());
}

TEST_F(DialogBuilderTest, StylesGroupsInheritAndSplitStateLists)
{
    auto root = BuildRoot(LR"(<Window>
        <Styles name="Base">
            <Style name="normal"><Shape name="bg" color="0xFF0000FF"/><Text name="label" text="x"/></Style>
        </Styles>
        <Styles name="BtnClose" inherit="Base">
            <Style name="hot"><Shape fill="true"/><Shape fill="false"/></Style>
            <Style name="hover,pushed">
                <Inherit name="normal"/>
                <Shape name="bg" color="0xFF00FF00"/>
                <Path name="p"><Points ptse="1,2"/><Rect/></Path>
            </Style>
            <Style name="selected"><Inherit name="Base.normal"/><Inherit name="missing"/></Style>
        </Styles>
        <Styles><Style name="normal"/></Styles>
        <Trace name="t" styles="BtnClose"/>
    </Window>)");
    ASSERT_NE(nullptr, root);
    ui::StyleGroup* group = win.core.FindStyleGroup(L"BtnClose");
    ASSERT_NE(nullptr, group);
    EXPECT_EQ(2, win.core.StyleGroupCount());  // the nameless "Styles" is skipped
    // Inherited "normal" first, then the entries in markup order.
    ASSERT_EQ(5, group->GetCount());
    EXPECT_EQ(L"normal", std::wstring(group->GetAt(0)->GetName().GetData()));
    EXPECT_EQ(L"hot", std::wstring(group->GetAt(1)->GetName().GetData()));
    EXPECT_EQ(L"hover", std::wstring(group->GetAt(2)->GetName().GetData()));
    EXPECT_EQ(L"pushed", std::wstring(group->GetAt(3)->GetName().GetData()));

    // Two unnamed shapes keep both, with generated names that differ.
    const auto& hot = group->Find(L"hot")->GetElements();
    ASSERT_EQ(2u, hot.size());
    EXPECT_FALSE(hot[0]->HasGivenName());
    EXPECT_NE(std::wstring(hot[0]->GetName().GetData()), std::wstring(hot[1]->GetName().GetData()));
    EXPECT_EQ(0u, std::wstring(hot[0]->GetName().GetData()).find(L"Shape_"));
    EXPECT_STREQ(L"true", hot[0]->GetAttribute(L"fill"));

    // "hover,pushed": two equal entries; "bg" replaced in its inherited slot.
    for (const wchar_t* state : {L"hover", L"pushed"}) {
        SCOPED_TRACE(state);
        const auto& elements = group->Find(state)->GetElements();
        ASSERT_EQ(3u, elements.size());
        EXPECT_EQ(L"bg", std::wstring(elements[0]->GetName().GetData()));
        EXPECT_STREQ(L"0xFF00FF00", elements[0]->GetAttribute(L"color"));
        EXPECT_EQ(nullptr, elements[0]->GetAttribute(L"name"));  // "name" is never an attribute
        EXPECT_EQ(L"label", std::wstring(elements[1]->GetName().GetData()));
        EXPECT_EQ(ui::kElementPath, elements[2]->GetKind());
        ASSERT_EQ(2u, elements[2]->GetChildren().size());
        EXPECT_EQ(ui::kGeometryPoints, elements[2]->GetChildren()[0]->GetKind());
        EXPECT_EQ(ui::StyleElement::Form::kGeometry, elements[2]->GetChildren()[0]->GetForm());
        EXPECT_STREQ(L"1,2", elements[2]->GetChildren()[0]->GetAttribute(L"ptse"));
        EXPECT_EQ(ui::kGeometryRect, elements[2]->GetChildren()[1]->GetKind());
    }
    // "group.entry" reaches another group; an unknown name copies nothing.
    const auto& selected = group->Find(L"selected")->GetElements();
    ASSERT_EQ(2u, selected.size());
    EXPECT_STREQ(L"0xFF0000FF", selected[0]->GetAttribute(L"color"));
    // The control uses the group by name.
    EXPECT_NE(nullptr, root->GetStyleSet());
}

TEST_F(DialogBuilderTest, LaterStylesAndTransformsOfTheSameNameReplaceEarlierOnes)
{
    auto root = BuildRoot(LR"(<Window>
        <Styles name="S"><Style name="normal"/><Style name="hot"/></Styles>
        <Styles name="S"><Style name="pushed"/></Styles>
        <Transform name="T" depth="100"><Scale x="2"/></Transform>
        <Transform name="T" depth="300"><Rotate z="45"/></Transform>
        <Transform depth="5"/>
    </Window>)");
    ui::StyleGroup* group = win.core.FindStyleGroup(L"S");
    ASSERT_NE(nullptr, group);
    ASSERT_EQ(1, group->GetCount());
    EXPECT_NE(nullptr, group->Find(L"pushed"));
    const ui::ControlTransform* t = win.core.FindTransform(L"T");
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(300, t->Params().perspective);
    EXPECT_EQ(1, t->Params().scale[0]);
    EXPECT_EQ(45, t->Params().rotation[2]);
}

TEST_F(DialogBuilderTest, TransformCellsAndValues)
{
    BuildRoot(LR"(<Window>
        <Transform name="flip" depth="400">
            <Scale x="1.5" y=":>sy"/>
            <Rotate y=":>ry" z="30"/>
            <Translate x="10" z=":>tz"/>
        </Transform>
    </Window>)");
    const ui::ControlTransform* t = win.core.FindTransform(L"flip");
    ASSERT_NE(nullptr, t);
    const ui::TransformParams& p = t->Params();
    EXPECT_EQ(400, p.perspective);
    EXPECT_EQ(1.5f, p.scale[0]);
    EXPECT_EQ(1.0f, p.scale[1]);  // a cell leaves the value as it was
    EXPECT_EQ(30, p.rotation[2]);
    EXPECT_EQ(10, p.translation[0]);
    const std::map<std::wstring, std::wstring> expected = {{L"1_2", L"sy"}, {L"2_2", L"ry"}, {L"3_3", L"tz"}};
    EXPECT_EQ(expected, t->GetCells());
}

TEST_F(DialogBuilderTest, AnimationByNameWithItsProperties)
{
    auto root = BuildRoot(LR"(<Window>
        <Animation name="fade" duration="0.25" func="cubic" slope="out" repeat="2">
            <Property name="alpha" from="0" to="1"/>
            <Property from="5"/>
            <Property name="w" to="80" target="3"/>
        </Animation>
        <Animation name="fade2" func="nosuch"/>
        <Trace name="t" transition="show=fade"/>
    </Window>)");
    ui::AnimationSpec spec;
    ASSERT_TRUE(win.core.FindAnimationSpec(L"fade", spec));
    EXPECT_EQ(0.25f, spec.duration);
    EXPECT_EQ(7, spec.easing);  // cubic
    EXPECT_EQ(L"out", spec.slope);
    EXPECT_EQ(2, spec.repeat);
    ASSERT_EQ(2u, spec.properties.size());  // a property without a name is skipped
    EXPECT_EQ(L"alpha", spec.properties[0].name);
    EXPECT_EQ(1.0f, spec.properties[0].to);
    EXPECT_EQ(L"", spec.properties[0].target);
    EXPECT_EQ(L"w", spec.properties[1].name);
    EXPECT_EQ(80.0f, spec.properties[1].to);
    EXPECT_EQ(L"3", spec.properties[1].target);
    ASSERT_TRUE(win.core.FindAnimationSpec(L"fade2", spec));
    EXPECT_EQ(4, spec.easing);  // unknown curve: quad
    // The control found the definition by name.
    ASSERT_NE(nullptr, root);
    EXPECT_NE(nullptr, root->GetTransitionTimeline(L"show"));
}

TEST_F(DialogBuilderTest, ResPrefixFillsTheProcessScaleTable)
{
    BuildRoot(LR"(<Window>
        <ResPrefix scale="100" source=""/>
        <ResPrefix scale="150" source="old/"/>
        <ResPrefix scale="150" source="150/"/>
        <ResPrefix scale="200"/>
        <ResPrefix scale="0" source="zero/"/>
    </Window>)");
    struct Case {
        int dpi;
        bool found;
        const wchar_t* prefix;
    } cases[] = {{96, true, L""}, {144, true, L"150/"}, {168, false, L""}, {192, false, L""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        bool found = !c.found;
        EXPECT_EQ(std::wstring(c.prefix), std::wstring(ui::GetScalePrefix(c.dpi, found).GetData()));
        EXPECT_EQ(c.found, found);
    }
}

TEST_F(DialogBuilderTest, TrayMenuIdsComeFromAFixedRange)
{
    BuildRoot(LR"(<Window>
        <Tray name=""><TrayItem name="never" text="x"/></Tray>
        <Tray name="empty"/>
    </Window>)");
    EXPECT_EQ(nullptr, win.core.GetTrayMenu());  // empty tip, or no items: no tray record

    BuildRoot(LR"(<Window>
        <Tray name="Installer">
            <TrayItem name="show" text="Open"/>
            <TrayItem text="no name"/>
            <TrayItem name="quit" text="Exit"/>
        </Tray>
    </Window>)");
    const WindowCore::TrayMenuRecord* tray = win.core.GetTrayMenu();
    ASSERT_NE(nullptr, tray);
    EXPECT_EQ(L"Installer", tray->tip);
    ASSERT_EQ(2u, tray->items.size());
    EXPECT_EQ(0x7000u, tray->items[0].commandId);
    EXPECT_EQ(L"show", tray->items[0].command);
    EXPECT_EQ(L"Open", tray->items[0].text);
    EXPECT_EQ(0x7001u, tray->items[1].commandId);
    EXPECT_EQ(L"quit", win.core.FindTrayMenuItem(0x7001)->command);
    EXPECT_EQ(nullptr, win.core.FindTrayMenuItem(0x7002));
    EXPECT_EQ(nullptr, win.core.FindTrayMenuItem(0x6FFF));
}

TEST_F(DialogBuilderTest, WindowAttributesReachTheCoreAndTheNativeWindow)
{
    const HWND hwnd = win.GetHWND();
    BuildRoot(LR"(<Window size="800,616" caption="-1,-1,-1,-1" shadow="true" sizebox="4,5,6,7"
        title="Setup" min="300,200" max="900,700" bktrans="true" glass="true" drop="true"
        pos="50%,120" alpha="128" defaultfontcolor="#FF102030" linkfontcolor="FF405060"
        selectedcolor="0xFF708090" ignored="1"/>)");
    const SIZE size = win.core.ComputeMonitorRelativeSize();
    EXPECT_EQ(800, size.cx);
    EXPECT_EQ(616, size.cy);
    const RECT caption = win.core.GetCaption();
    EXPECT_EQ(-1, caption.left);
    EXPECT_EQ(-1, caption.bottom);
    ASSERT_NE(nullptr, win.core.FindShadowSettings());
    EXPECT_EQ(10.0f, win.core.FindShadowSettings()->size);
    const RECT box = win.core.GetSizeBox();
    EXPECT_EQ(4, box.left);
    EXPECT_EQ(7, box.bottom);
    wchar_t text[32] = {};
    GetWindowTextW(hwnd, text, 32);
    EXPECT_STREQ(L"Setup", text);
    EXPECT_EQ(L"Setup", win.core.GetTitle());
    int minW, minH, maxW, maxH;
    win.core.GetTrackingLimits(minW, minH, maxW, maxH);
    EXPECT_EQ(300, minW);
    EXPECT_EQ(200, minH);
    EXPECT_EQ(900, maxW);
    EXPECT_EQ(700, maxH);
    EXPECT_TRUE(win.core.IsCaptionless());
    EXPECT_TRUE(win.core.IsBackdropWanted());
    EXPECT_TRUE(win.core.GetAcceptFiles());
    float fx = 0, fy = 0;
    win.core.GetPositionFactors(fx, fy);
    EXPECT_EQ(0.5f, fx);
    EXPECT_EQ(120, win.core.GetPosition().y);
    EXPECT_EQ(128, win.core.GetWindowAlpha());
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(0xFF102030u, win.core.GetTextColor());
    EXPECT_EQ(0xFF405060u, win.core.GetLinkTextColor());
    EXPECT_EQ(0xFF708090u, win.core.GetTextBkColor());

    // Alpha out of range: clamped, and the layered style goes.
    struct AlphaCase {
        const wchar_t* markup;
        int stored;
        bool layered;
    } cases[] = {{L"<Window alpha=\"300\"/>", 255, false},
                 {L"<Window alpha=\"-5\"/>", 0, false},
                 {L"<Window alpha=\"255\"/>", 255, true}};
    for (const AlphaCase& c : cases) {
        SCOPED_TRACE(c.markup);
        BuildRoot(c.markup);
        EXPECT_EQ(c.stored, win.core.GetWindowAlpha());
        EXPECT_EQ(c.layered, (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0);
    }
}

TEST_F(DialogBuilderTest, OnlyARootWindowOfABoundCoreSetsWindowAttributes)
{
    BuildRoot(LR"(<Box title="not a window" sizebox="9,9,9,9"><Control name="c"/></Box>)");
    EXPECT_EQ(L"", win.core.GetTitle());
    EXPECT_EQ(0, win.core.GetSizeBox().left);

    WindowCore unbound;
    DialogBuilder builder;
    std::unique_ptr<Control> root(builder.Build(LR"(<Window title="x"><Font name="Arial"/><Control/></Window>)",
                                                nullptr, &unbound, nullptr));
    EXPECT_NE(nullptr, root);
    EXPECT_EQ(L"", unbound.GetTitle());
}

TEST_F(DialogBuilderTest, WindowLevelNamesNestedInControlsDoNothing)
{
    auto box = BuildInto(LR"(<Window>
        <TraceBox name="outer">
            <Default name="Trace" value="width=&quot;20&quot;"/>
            <Styles name="Nested"><Style name="normal"/></Styles>
            <Image name="img"/>
            <Trace name="inner"/>
        </TraceBox>
        <Image name="top"/>
    </Window>)");
    ASSERT_EQ(1, box->ChildCount());
    auto* outer = static_cast<ui::Box*>(box->ChildAt(0));
    EXPECT_EQ(std::vector<std::wstring>{L"inner"}, ChildNames(*outer));
    EXPECT_EQ(nullptr, win.core.FindDefaultAttributes(L"Trace"));
    EXPECT_EQ(nullptr, win.core.FindStyleGroup(L"Nested"));
}

TEST_F(DialogBuilderTest, MalformedNumbersReadAsZero)
{
    BuildRoot(L"<Window sizebox=\"1,2,3,4\" min=\"5,6\"/>");
    BuildRoot(LR"(<Window sizebox="wide" min="none">
        <Transform name="T" depth="deep"><Scale x="big" y="2.5cm"/></Transform>
        <Animation name="A" duration="soon" repeat="3x"><Property name="p" from="?" to="1e"/></Animation>
        <ResPrefix scale="abc" source="bad/"/>
        <ResPrefix scale="125%" source="125/"/>
    </Window>)");
    const RECT box = win.core.GetSizeBox();
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(0, box.top);
    EXPECT_EQ(0, box.right);
    EXPECT_EQ(0, box.bottom);
    int minW, minH, maxW, maxH;
    win.core.GetTrackingLimits(minW, minH, maxW, maxH);
    EXPECT_EQ(0, minW);
    EXPECT_EQ(0, minH);
    const ui::ControlTransform* t = win.core.FindTransform(L"T");
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(0, t->Params().perspective);
    EXPECT_EQ(0, t->Params().scale[0]);
    EXPECT_EQ(2.5f, t->Params().scale[1]);  // conversion stops at the first invalid character
    ui::AnimationSpec spec;
    ASSERT_TRUE(win.core.FindAnimationSpec(L"A", spec));
    EXPECT_EQ(0, spec.duration);
    EXPECT_EQ(3, spec.repeat);
    ASSERT_EQ(1u, spec.properties.size());
    EXPECT_EQ(0, spec.properties[0].from);
    EXPECT_EQ(1, spec.properties[0].to);
    bool found = false;
    ui::GetScalePrefix(120, found);
    EXPECT_TRUE(found);  // "125%" reads as 125
}

TEST_F(DialogBuilderTest, StringTableKeepsTheFirstDefinition)
{
    OpenArchive({{"strings.xml", "\xEF\xBB\xBF<Strings><string id=\"hello\">Hi &amp; welcome</string>"
                                 "<string id=\"hello\">second</string><other id=\"x\">no</other>"
                                 "<string>keyless</string><string id=\"bye\" lang=\"en\">Bye</string></Strings>"}});
    DialogBuilder builder;
    builder.LoadStringTable(L"strings.xml", &win.core);
    EXPECT_STREQ(L"Hi & welcome", win.core.GetString(L"hello"));
    EXPECT_STREQ(L"Bye", win.core.GetString(L"bye"));
    EXPECT_STREQ(L"keyless", win.core.GetString(L""));
    EXPECT_EQ(nullptr, win.core.GetString(L"x"));

    DialogBuilder missing;
    missing.LoadStringTable(L"nosuch.xml", &win.core);
    EXPECT_STREQ(L"Could not find ziped file", missing.GetDocument().GetErrorMessage());
    EXPECT_STREQ(L"Hi & welcome", win.core.GetString(L"hello"));
}

// --- Control tree ---------------------------------------------------------

TEST_F(DialogBuilderTest, SubtreeIsBuiltAndConfiguredBeforeItJoinsItsParent)
{
    auto box = BuildInto(LR"(<Window>
        <TraceBox name="vbox" padding="1,2,3,4">
            <Trace name="a" tooltip="tip"/>
            <Box name="b"/>
        </TraceBox>
    </Window>)");
    ASSERT_EQ(1, box->ChildCount());
    auto* vbox = static_cast<TraceBox*>(box->ChildAt(0));
    EXPECT_EQ(box.get(), vbox->GetParent());
    EXPECT_EQ(&win.core, vbox->GetCore());
    // The box had both children when it got its first attribute.
    EXPECT_EQ(2, vbox->firstAttributeChildCount);
    EXPECT_EQ(1, vbox->firstAttributeInParent);
    auto* a = static_cast<TraceControl*>(vbox->ChildAt(0));
    EXPECT_EQ(&win.core, a->GetCore());
    EXPECT_EQ(vbox, a->GetParent());
    ASSERT_EQ(2u, a->calls.size());
    // The child sat in the box, and had its attributes, before the box
    // joined its parent.
    EXPECT_TRUE(a->calls[0].inParentBox);
    EXPECT_FALSE(a->calls[0].parentJoined);
    EXPECT_EQ(L"tip", std::wstring(a->GetToolTip().GetData()));
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"b"}), ChildNames(*vbox));
}

TEST_F(DialogBuilderTest, UnknownClassesGoToTheCallbackOrHookElseAreSkipped)
{
    ASSERT_EQ(nullptr, ui::GetControlClassRegistry().Find("Gadget"));
    RecordingCallback callback;
    auto box = BuildInto(LR"(<Window>
        <Nope name="n"><Trace name="insideNope"/></Nope>
        <Gadget name="g" clsid="{8856F961-340A-11D0-A96B-00C04FD705A2}"/>
        <Custom name="custom" width="5"/>
        <Trace name="next"/>
    </Window>)",
                         &callback);
    EXPECT_EQ(std::vector<std::wstring>({L"custom", L"next"}), ChildNames(*box));
    // Registered classes never reach the callback; unknown ones do, subtree
    // not built.
    EXPECT_EQ(std::vector<std::wstring>({L"Nope", L"Gadget", L"Custom"}), callback.asked);
    EXPECT_EQ(5, box->ChildAt(0)->GetRawFixedWidth());

    // Without a callback the hook is asked.
    std::vector<std::wstring> hooked;
    auto holder = std::make_unique<ui::Box>();
    DialogBuilder builder;
    builder.SetCustomControlHook([&hooked](const wchar_t* name, WindowCore*) -> Control* {
        hooked.push_back(name);
        return wcscmp(name, L"Hooked") == 0 ? new Control() : nullptr;
    });
    builder.Build(LR"(<Window><Hooked name="h"/><Gadget/>
        <Include source="&lt;Window&gt;&lt;Hooked name=&quot;fromInclude&quot;/&gt;&lt;/Window&gt;"/>
    </Window>)",
                  nullptr, &win.core, holder.get());
    // The hook travels into included documents.
    EXPECT_EQ(std::vector<std::wstring>({L"Hooked", L"Gadget", L"Hooked"}), hooked);
    EXPECT_EQ(std::vector<std::wstring>({L"h", L"fromInclude"}), ChildNames(*holder));
}

TEST_F(DialogBuilderTest, UnknownAttributesAreKeptAsExtraAttributes)
{
    auto root = BuildRoot(LR"(<Window><Trace name="t" data-id="42" width="12" custom=""/></Window>)");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(L"42", std::wstring(root->GetExtraAttribute(L"data-id").GetData()));
    EXPECT_EQ(12, root->GetRawFixedWidth());
    EXPECT_TRUE(root->GetExtraAttribute(L"width").IsEmpty());
}

TEST_F(DialogBuilderTest, ExtraTopLevelControlsAreDeletedNotLeaked)
{
    const int before = TraceControl::s_live + TraceBox::s_live;
    {
        auto root = BuildRoot(LR"(<Window>
            <Trace name="first" group="g"/>
            <TraceBox name="second" group="g"><Trace name="secondChild" group="g"/></TraceBox>
            <Trace name="third" group="g"/>
        </Window>)");
        ASSERT_NE(nullptr, root);
        EXPECT_EQ(L"first", std::wstring(root->GetName().GetData()));
        EXPECT_EQ(before + 1, TraceControl::s_live + TraceBox::s_live);
        // The core keeps no pointer to a deleted control.
        const std::vector<Control*>* group = win.core.GetGroup(L"g");
        ASSERT_NE(nullptr, group);
        EXPECT_EQ(std::vector<Control*>{root.get()}, *group);
        win.core.SetRootControl(root.get());
        EXPECT_EQ(root.get(), win.core.FindControlByName(L"first"));
        for (const wchar_t* name : {L"second", L"secondChild", L"third"})
            EXPECT_EQ(nullptr, win.core.FindControlByName(name)) << std::wstring(name).c_str();
        win.core.ForgetControl(root.get());
    }
    EXPECT_EQ(before, TraceControl::s_live + TraceBox::s_live);
}

TEST_F(DialogBuilderTest, ANonContainerParentEndsTheLevel)
{
    const int before = TraceControl::s_live;
    auto box = BuildInto(LR"(<Window>
        <Trace name="leaf"><Trace name="c1"/><Trace name="c2"/></Trace>
        <Trace name="after"/>
    </Window>)");
    // The leaf itself is built; its children are deleted.
    EXPECT_EQ(std::vector<std::wstring>({L"leaf", L"after"}), ChildNames(*box));
    EXPECT_EQ(before + 2, TraceControl::s_live);

    // Building directly below a control that holds nothing: null, nothing kept.
    Control leaf;
    DialogBuilder builder;
    EXPECT_EQ(nullptr, builder.Build(L"<Window><Trace/><Trace/></Window>", nullptr, &win.core, &leaf));
    EXPECT_EQ(before + 2, TraceControl::s_live);
}

TEST_F(DialogBuilderTest, IncludesFromTheArchiveAreMergedWhereIncluded)
{
    OpenArchive({{"RES/part.xml", "<Window title=\"from include\"><Default name=\"Trace\" value=\"height=&quot;9&quot;\"/>"
                                  "<Trace name=\"inc\"/></Window>"},
                 {"RES/broken.xml", "<Window><Trace></Window>"}});
    auto box = BuildInto(LR"(<Window>
        <Trace name="a"/>
        <Include source="RES/part.xml" count="2"/>
        <Include source="RES/broken.xml"/>
        <Include source="RES/missing.xml"/>
        <Include source="RES/part.xml" count="0"/>
        <Include source="&lt;Window&gt;&lt;Trace name=&quot;inline&quot;/&gt;&lt;/Window&gt;" fromnet="false"/>
        <Trace name="b"/>
    </Window>)");
    EXPECT_EQ(std::vector<std::wstring>({L"a", L"inc", L"inc", L"inline", L"b"}), ChildNames(*box));
    // The included document's window-level elements reach the same core.
    EXPECT_NE(nullptr, win.core.FindDefaultAttributes(L"Trace"));
    EXPECT_EQ(9, box->ChildAt(1)->GetRawFixedHeight());
    EXPECT_EQ(L"from include", win.core.GetTitle());
}

TEST_F(DialogBuilderTest, IncludesFromDiskAndTheCallbackTravelWithThem)
{
    testsupport::ScratchDir dir(L"builder");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"css_message.xml"),
                                            "<Window><Custom name=\"c\"/><Trace name=\"t\"/></Window>"));
    ::SetUiResourcePath((dir.Path() + L"\\").c_str());
    RecordingCallback callback;
    auto box = BuildInto(L"<Window><Include source=\"css_message.xml\" fromnet=\"false\"/></Window>", &callback);
    EXPECT_EQ(std::vector<std::wstring>({L"c", L"t"}), ChildNames(*box));
    EXPECT_EQ(std::vector<std::wstring>{L"Custom"}, callback.asked);
}

TEST_F(DialogBuilderTest, TopLevelIncludeWithoutParentKeepsNothing)
{
    const int before = TraceControl::s_live;
    auto root = BuildRoot(LR"(<Window>
        <Include source="&lt;Window&gt;&lt;Trace name=&quot;lost&quot;/&gt;&lt;/Window&gt;"/>
        <Trace name="root"/>
    </Window>)");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ(L"root", std::wstring(root->GetName().GetData()));
    EXPECT_EQ(before + 1, TraceControl::s_live);
}

TEST_F(DialogBuilderTest, MalformedOrMissingSkinTakesTheErrorPath)
{
    struct Case {
        const wchar_t* skin;
        const wchar_t* message;
    } cases[] = {
        {L"<Window><Trace></Window>", L"Unmatched closing tag"},
        {L"<Window a='1'/>", L"Expected attribute value"},
        {L"<Window><", L"Error parsing element name"},
        {L"nosuch.xml", L"Error opening file"},
    };
    const int before = TraceControl::s_live;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skin);
        DialogBuilder builder;
        EXPECT_EQ(nullptr, builder.Build(c.skin, nullptr, &win.core, nullptr));
        EXPECT_STREQ(c.message, builder.GetDocument().GetErrorMessage());
    }
    EXPECT_EQ(before, TraceControl::s_live);
    DialogBuilder nothing;
    EXPECT_EQ(nullptr, nothing.Build(nullptr, nullptr, &win.core, nullptr));
    EXPECT_EQ(nullptr, nothing.BuildWindow(&win.core, nullptr));
}

// --- Network includes -----------------------------------------------------

// A one-thread HTTP server on 127.0.0.1 answering every request with the
// same body, either at once or a byte at a time.
class LocalHttpServer {
public:
    LocalHttpServer(std::string body, DWORD byteDelayMs) : m_body(std::move(body)), m_byteDelayMs(byteDelayMs)
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listen = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        int len = sizeof(addr);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        listen(m_listen, 4);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LocalHttpServer()
    {
        m_stop = true;
        closesocket(m_listen);
        m_thread.join();
        WSACleanup();
    }
    std::wstring Url(const wchar_t* path) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
    }
    int Requests() const { return m_requests; }

private:
    void Serve()
    {
        for (;;) {
            SOCKET s = accept(m_listen, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                return;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                int n = recv(s, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    break;
                request.append(buffer, n);
            }
            ++m_requests;
            std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) +
                               "\r\nConnection: close\r\n\r\n";
            send(s, head.data(), static_cast<int>(head.size()), 0);
            if (m_byteDelayMs == 0) {
                send(s, m_body.data(), static_cast<int>(m_body.size()), 0);
            } else {
                for (size_t i = 0; i < m_body.size() && !m_stop; ++i) {
                    if (send(s, &m_body[i], 1, 0) <= 0)
                        break;
                    Sleep(m_byteDelayMs);
                }
            }
            shutdown(s, SD_SEND);
            closesocket(s);
        }
    }

    std::string m_body;
    DWORD m_byteDelayMs;
    SOCKET m_listen = INVALID_SOCKET;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

TEST_F(DialogBuilderTest, NetworkIncludeIsFetchedOnceAndBuiltCountTimes)
{
    LocalHttpServer server("<Window><Default name=\"Trace\" value=\"width=&quot;3&quot;\"/>"
                           "<Trace name=\"net\"/></Window>",
                           0);
    const std::wstring markup = L"<Window><Include fromnet=\"true\" count=\"2\" source=\"" +
                                server.Url(L"/inc.xml") + L"\"/><Trace name=\"after\"/></Window>";
    auto box = BuildInto(markup.c_str());
    EXPECT_EQ(std::vector<std::wstring>({L"net", L"net", L"after"}), ChildNames(*box));
    EXPECT_EQ(1, server.Requests());
    EXPECT_EQ(3, box->ChildAt(0)->GetRawFixedWidth());
}

TEST_F(DialogBuilderTest, NetworkIncludeGivesUpPastItsLimits)
{
    // A body trickling in one byte every 200 ms would take many seconds.
    LocalHttpServer slow(std::string("<Window><Trace name=\"slow\"/>") + std::string(200, ' ') + "</Window>", 200);
    DialogBuilder::SetNetIncludeLimitsForTesting({1000, 1000, 1000});
    const std::wstring markup = L"<Window><Include fromnet=\"true\" source=\"" + slow.Url(L"/slow.xml") +
                                L"\"/><Trace name=\"after\"/></Window>";
    auto box = BuildInto(markup.c_str());
    // Unbounded, the whole body would arrive (after ~45 s) and be built.
    EXPECT_EQ(std::vector<std::wstring>{L"after"}, ChildNames(*box));
    EXPECT_GE(slow.Requests(), 1);

    // Nothing listens: the include is skipped, the rest is built.
    const std::wstring refused = L"<Window><Include fromnet=\"true\" source=\"http://127.0.0.1:" +
                                 std::to_wstring(testsupport::UnusedPort()) +
                                 L"/x.xml\"/><Trace name=\"still\"/></Window>";
    auto other = BuildInto(refused.c_str());
    EXPECT_EQ(std::vector<std::wstring>{L"still"}, ChildNames(*other));
}

} // namespace
