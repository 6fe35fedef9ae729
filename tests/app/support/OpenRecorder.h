// A recorder in place of the programs the shell would open for some file
// types: while an OpenRecorder lives, the test prefix's "open" command of
// the given extensions starts this test executable's "OpenRecorderChild.Record"
// case (define it with OPEN_RECORDER_CHILD_TEST in the test file), which
// appends the opened file and the folder it was started in to a record file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace apptest {

// One shell open as the recorder saw it.
struct stOpenRecord {
    std::wstring file;     // the path the shell handed over
    std::wstring folder;   // the recorder's working folder
};

class OpenRecorder {
public:
    // Points the open command of each extension (".zip", with the dot) at
    // the recorder writing to `recordFile`.
    OpenRecorder(const std::wstring& recordFile, const std::vector<std::wstring>& extensions);
    // Puts the previous registrations back.
    ~OpenRecorder();
    OpenRecorder(const OpenRecorder&) = delete;
    OpenRecorder& operator=(const OpenRecorder&) = delete;
    bool Failed() const { return m_failed; }

    // The records once `count` have arrived, or what came within kChildWaitMs.
    std::vector<stOpenRecord> WaitFor(size_t count) const;
    // What arrived so far.
    std::vector<stOpenRecord> Records() const;

private:
    struct Saved {
        std::wstring key;
        std::wstring value;
        bool existed = false;
    };
    std::wstring m_recordFile;
    std::vector<Saved> m_saved;
    std::vector<std::wstring> m_createdKeys;
    bool m_failed = false;
};

// The child flavour's work. False when this process is not the recorder.
bool IsOpenRecorderChild();
void RecordOpenFromCommandLine();

} // namespace apptest

// The recorder case every test file using OpenRecorder defines once.
#define OPEN_RECORDER_CHILD_TEST()                                                   \
    TEST(OpenRecorderChild, Record)                                                  \
    {                                                                                \
        if (!::apptest::IsOpenRecorderChild())                                       \
            GTEST_SKIP() << "only started by the shell as the open recorder";        \
        ::apptest::RecordOpenFromCommandLine();                                      \
    }
