// Carries the test skin as resource ZIPRES 104, like the installer.
#include "app/AppEntry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"

TEST(AppEntry, FrameRunsTheStagesAroundTheLoopWithTheSkinOpen)
{
    std::vector<std::string> steps;
    InstallerStages stages;
    stages.startUp = [&](HINSTANCE instance, const std::wstring& commandLine) {
        EXPECT_EQ(instance, GetModuleHandleW(nullptr));
        EXPECT_EQ(commandLine, L"-p ABC");
        EXPECT_TRUE(ui::UiGlobals().started);
        EXPECT_NE(GetSkinArchive(), nullptr) << "the skin resource was not opened";
        steps.push_back("startUp");
        PostQuitMessage(0); // what the main window's destruction does
    };
    stages.shutDown = [&] {
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_HIGHEST);
        EXPECT_TRUE(ui::UiGlobals().started);
        steps.push_back("shutDown");
    };

    EXPECT_EQ(RunInstallerEntry(GetModuleHandleW(nullptr), L"-p ABC", stages), 0);

    EXPECT_EQ(steps, (std::vector<std::string>{"startUp", "shutDown"}));
    EXPECT_FALSE(ui::UiGlobals().started);
    EXPECT_EQ(GetSkinArchive(), nullptr) << "the UI library's shutdown closes the skin";
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

TEST(AppEntry, AnOpenSkinArchiveIsKept)
{
    ASSERT_TRUE(LoadSkinArchiveResource(GetModuleHandleW(nullptr)));
    const ArchiveHandle first = GetSkinArchive();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(LoadSkinArchiveResource(GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetSkinArchive(), first);
    CloseSkinArchive();

    // A module without the resource leaves no archive.
    EXPECT_FALSE(LoadSkinArchiveResource(GetModuleHandleW(L"kernel32.dll")));
    EXPECT_EQ(GetSkinArchive(), nullptr);
}
