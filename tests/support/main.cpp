// Entry point of every test executable.
#include <gtest/gtest.h>
#include <windows.h>

int main(int argc, char** argv)
{
    // No crash dialogs from Wine or Windows: a failing test must end, not wait.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
