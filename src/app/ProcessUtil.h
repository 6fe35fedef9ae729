// Removing the installer's own executable once the process has ended.
#pragma once

#include <string>

// The command that deletes `exePath` about a second after it starts (the
// ping gives this process the time to end). Only the file itself is named:
// files of the same name in folders below it are left alone.
std::wstring SelfDeleteCommand(const std::wstring& exePath);

// Starts SelfDeleteCommand for the running executable in a hidden console
// and ends the process through the C runtime's exit with code 0. Does not
// return, also when the command cannot be started.
[[noreturn]] void SelfDelete();
