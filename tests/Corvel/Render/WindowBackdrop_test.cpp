#include "Corvel/Render/WindowBackdrop.h"

#include <gtest/gtest.h>

#include "support/RenderTestSupport.h"

using namespace rendertest;

namespace {

class WindowBackdropTest : public UiLibraryTest {
protected:
    void TearDown() override
    {
        OverrideOsVersion(0, 0, 0);  // back to the system's own
        UiLibraryTest::TearDown();
    }
};

TEST_F(WindowBackdropTest, VersionIsReadOnceAndCanBeOverridden)
{
    const uint32_t major = GetOsVersionPart(0);
    const uint32_t build = GetOsVersionPart(2);
    EXPECT_GE(major, 6u);
    EXPECT_GT(build, 0u);
    EXPECT_EQ(0u, GetOsVersionPart(3));
    OverrideOsVersion(10, 0, 22621);
    EXPECT_EQ(10u, GetOsVersionPart(0));
    EXPECT_EQ(22621u, GetOsVersionPart(2));
    OverrideOsVersion(0, 0, 0);
    EXPECT_EQ(major, GetOsVersionPart(0));
    EXPECT_EQ(build, GetOsVersionPart(2));
}

TEST_F(WindowBackdropTest, AccentPolicyRecord)
{
    struct Case {
        int state;
        uint32_t colour, sent;
        int flags;
    } cases[] = {
        {4, 0x00FFFFFFu, 0x01FFFFFFu, 0},  // acrylic needs some alpha
        {4, 0x00000000u, 0x01000000u, 0},
        {4, 0x80112233u, 0x80112233u, 0},
        {3, 0x00FFFFFFu, 0x00FFFFFFu, 2},  // blur-behind keeps it
        {3, 0x0FFF0000u, 0x0FFF0000u, 2},
    };
    for (const Case& c : cases) {
        const stAccentPolicy p = MakeAccentPolicy(c.state, c.colour);
        EXPECT_EQ(c.state, p.accentState);
        EXPECT_EQ(c.flags, p.accentFlags) << c.state;
        EXPECT_EQ(c.sent, p.gradientColor) << std::hex << c.colour;
        EXPECT_EQ(0, p.animationId);
    }
}

TEST_F(WindowBackdropTest, FrameMarginSets)
{
    struct Case {
        int set;
        uint32_t build;
        MARGINS m;
    } cases[] = {
        {0, 19045, {0, 0, 0, 0}},  {0, 22000, {0, 0, 0, 0}},  {1, 19045, {1, 1, 1, 1}},
        {1, 21999, {1, 1, 1, 1}},  {1, 22000, {0, 0, 0, 1}},  {1, 22621, {0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        const MARGINS m = FrameMarginSet(c.set, c.build);
        EXPECT_EQ(c.m.cxLeftWidth, m.cxLeftWidth) << c.set << " " << c.build;
        EXPECT_EQ(c.m.cxRightWidth, m.cxRightWidth);
        EXPECT_EQ(c.m.cyTopHeight, m.cyTopHeight);
        EXPECT_EQ(c.m.cyBottomHeight, m.cyBottomHeight) << c.set << " " << c.build;
    }
}

// Wine has no compositor: composition reports off, the accent policy call
// fails, and the system-backdrop attribute is accepted without effect.
TEST_F(WindowBackdropTest, BackdropsFallBackWhereTheCompositorCannotHelp)
{
    PlainWindow w(50, 50, 200, 120);
    ASSERT_NE(nullptr, w.hwnd());

    // As the prefix reports itself (a Windows 7 build): blur-behind, which
    // never counts as a backdrop that was set.
    EXPECT_FALSE(EnableWindowBackdrop(w.hwnd(), false, 1, 0x0FFF0000u));
    EXPECT_FALSE(EnableMicaBackdrop(w.hwnd()));

    // Windows 10: the accent policy is refused, so the first-version path is
    // taken and the call reports false instead of a success it did not have.
    OverrideOsVersion(10, 0, 19045);
    EXPECT_EQ(FALSE, SetAccentPolicy(w.hwnd(), 4, 0x00FFFFFFu));
    EXPECT_FALSE(EnableWindowBackdrop(w.hwnd(), false, 1, 0));
    EXPECT_FALSE(EnableWindowBackdrop(w.hwnd(), true, 0, 0));
    EXPECT_FALSE(EnableMicaBackdrop(w.hwnd()));
    EXPECT_EQ(10, SetFrameMargins(w.hwnd(), 1));
    EXPECT_EQ(10, SetFrameMargins(w.hwnd(), 0));

    // Windows 11 22H2: the system backdrop type is accepted; forcing asks for
    // the accent policy, which fails here.
    OverrideOsVersion(10, 0, 22621);
    EXPECT_TRUE(EnableWindowBackdrop(w.hwnd(), false, 0, 0));
    EXPECT_FALSE(EnableWindowBackdrop(w.hwnd(), true, 1, 0));
    EXPECT_TRUE(EnableMicaBackdrop(w.hwnd()));
    OverrideOsVersion(10, 0, 22000);
    EXPECT_TRUE(EnableMicaBackdrop(w.hwnd()));
    EXPECT_EQ(11, SetFrameMargins(w.hwnd(), 1));
}

} // namespace
