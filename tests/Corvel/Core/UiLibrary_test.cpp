#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"

#include <gtest/gtest.h>
#include <gdiplus.h>

#include "support/ZipFixture.h"

namespace {


TEST(UiLibrary, StartsEveryServiceAndShutsDownReleasingEachOnce)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    InitUiLibrary(inst);
    ui::UiProcessGlobals& g = ui::UiGlobals();

    ASSERT_TRUE(g.started);
    EXPECT_EQ(inst, g.hInstance);
    EXPECT_EQ(inst, g.hResourceInstance);
    ASSERT_NE(nullptr, g.d2dFactory);
    EXPECT_NE(nullptr, g.d2dFactory1) << "Direct2D 1.1 factory expected";
    ASSERT_NE(nullptr, g.dwriteFactory);
    ASSERT_NE(nullptr, g.wicFactory);
    EXPECT_NE(0u, g.gdiplusToken);
    EXPECT_EQ(DXGI_FORMAT_B8G8R8A8_UNORM, g.defaultPixelFormat.format);
    EXPECT_EQ(D2D1_ALPHA_MODE_PREMULTIPLIED, g.defaultPixelFormat.alphaMode);
    EXPECT_EQ(96.0f, g.defaultTargetProps.dpiX);
    EXPECT_EQ(96.0f, g.defaultTargetProps.dpiY);
    EXPECT_EQ(DXGI_FORMAT_B8G8R8A8_UNORM, g.defaultTargetProps.pixelFormat.format);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    EXPECT_TRUE(GetClassInfoExW(inst, L"HarrelShadowWnd", &wc));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), wc.style);

    // GDI+ is usable between start-up and shutdown.
    Gdiplus::GpBitmap* bmp = nullptr;
    EXPECT_EQ(Gdiplus::Ok, Gdiplus::DllExports::GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat32bppARGB, nullptr, &bmp));
    if (bmp)
        Gdiplus::DllExports::GdipDisposeImage(bmp);

    // A second start-up creates nothing new.
    ID2D1Factory* d2d = g.d2dFactory;
    IDWriteFactory* dw = g.dwriteFactory;
    IWICImagingFactory* wic = g.wicFactory;
    InitUiLibrary(inst);
    EXPECT_EQ(d2d, g.d2dFactory);
    EXPECT_EQ(dw, g.dwriteFactory);
    EXPECT_EQ(wic, g.wicFactory);

    d2d->AddRef();
    wic->AddRef();
    ShutdownUiLibrary();
    EXPECT_FALSE(g.started);
    EXPECT_EQ(nullptr, g.d2dFactory);
    EXPECT_EQ(nullptr, g.d2dFactory1);
    EXPECT_EQ(nullptr, g.dwriteFactory);
    EXPECT_EQ(nullptr, g.wicFactory);
    EXPECT_EQ(nullptr, g.wicFactory2);
    EXPECT_EQ(0u, g.gdiplusToken);
    EXPECT_EQ(0.0f, g.defaultTargetProps.dpiX);
    EXPECT_EQ(0u, d2d->Release()) << "the library kept a Direct2D factory reference";
    EXPECT_EQ(0u, wic->Release()) << "the library kept a WIC factory reference";

    // Start-up after shutdown works again.
    InitUiLibrary(inst);
    EXPECT_NE(nullptr, g.d2dFactory);
    ShutdownUiLibrary();
}

int g_hookCalls = 0;
void CountingHook() { ++g_hookCalls; }

TEST(UiLibrary, ShutdownClosesTheSkinArchiveAndRunsEachModuleHookOnce)
{
    InitUiLibrary(GetModuleHandleW(nullptr));
    ui::UiProcessGlobals& g = ui::UiGlobals();
    const std::string zip = zipfixture::BuildZip({{"RES/a.xml", "<Window/>"}});
    ASSERT_TRUE(OpenSkinArchive(zip.data(), static_cast<uint32_t>(zip.size())));
    ASSERT_NE(nullptr, GetSkinArchive());
    g_hookCalls = 0;
    g.releasePrivateFonts = &CountingHook;
    g.sharedPen = CreatePen(PS_SOLID, 1, RGB(220, 0, 0));
    ShutdownUiLibrary();
    EXPECT_EQ(nullptr, GetSkinArchive());
    EXPECT_EQ(1, g_hookCalls);
    EXPECT_EQ(nullptr, g.releasePrivateFonts);
    EXPECT_EQ(nullptr, g.sharedPen);
    ShutdownUiLibrary(); // a second shutdown finds nothing left to release
    EXPECT_EQ(1, g_hookCalls);
}

ui::Control* g_marker = reinterpret_cast<ui::Control*>(0x10);
ui::Control* FirstCreator() { return g_marker; }
ui::Control* SecondCreator() { return nullptr; }

TEST(ControlRegistry, FirstRegistrationWinsAndNamesAreCaseSensitive)
{
    ui::ControlClassRegistry reg;
    reg.Register("Widget", &FirstCreator);
    reg.Register("Widget", &SecondCreator);
    EXPECT_EQ(&FirstCreator, reg.Find("Widget"));
    EXPECT_EQ(g_marker, reg.Create("Widget"));
    EXPECT_EQ(nullptr, reg.Find("widget"));
    EXPECT_EQ(nullptr, reg.Create("Nothing"));
    reg.Register("Empty", nullptr);
    EXPECT_EQ(nullptr, reg.Find("Empty"));
}

TEST(ControlRegistry, BuiltinTableListsEveryMarkupNameOnceInStartupOrder)
{
    size_t count = 0;
    const ui::BuiltinControlClass* classes = ui::BuiltinControlClasses(&count);
    ASSERT_EQ(28u, count);
    EXPECT_STREQ("CActiveXCtrl", classes[0].name);
    EXPECT_STREQ("WebView", classes[1].name);
    EXPECT_STREQ("Spinner", classes[27].name);
    for (size_t i = 0; i < count; ++i)
        for (size_t j = i + 1; j < count; ++j)
            EXPECT_STRNE(classes[i].name, classes[j].name);
    // Start-up registers exactly the classes this build has.
    InitUiLibrary(GetModuleHandleW(nullptr));
    size_t built = 0;
    for (size_t i = 0; i < count; ++i) {
        if (classes[i].creator) {
            ++built;
            EXPECT_EQ(classes[i].creator, ui::GetControlClassRegistry().Find(classes[i].name)) << classes[i].name;
        }
    }
    EXPECT_EQ(built, ui::GetControlClassRegistry().Count());
    ShutdownUiLibrary();
}

} // namespace
