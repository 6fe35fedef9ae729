// A recorder in place of the browser: while a LinkRecorder lives, the test
// prefix's http and https open commands start this test executable's
// "LinkRecorderChild.Record" case (define it with LINK_RECORDER_CHILD_TEST
// in the test file), which appends the link it was given to a record file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace apptest {

class LinkRecorder {
public:
    // Points the open commands at the recorder writing to `recordFile`.
    explicit LinkRecorder(const std::wstring& recordFile);
    // Puts the previous commands back.
    ~LinkRecorder();
    LinkRecorder(const LinkRecorder&) = delete;
    LinkRecorder& operator=(const LinkRecorder&) = delete;
    // True when a command could not be set.
    bool Failed() const { return m_failed; }

private:
    struct Saved {
        std::wstring key;
        std::wstring value;
        bool existed = false;
    };
    std::vector<Saved> m_saved;
    bool m_failed = false;
};

// The recorded links once `count` have arrived, or what came within
// kChildWaitMs.
std::vector<std::string> WaitForRecords(const std::wstring& file, size_t count);

// The child flavour's work: appends its last argument (the link) as UTF-8
// to the record file. False when this process is not the recorder child.
bool IsLinkRecorderChild();
void RecordLinkFromCommandLine();

} // namespace apptest

// The recorder case every test file using LinkRecorder defines once.
#define LINK_RECORDER_CHILD_TEST()                                                   \
    TEST(LinkRecorderChild, Record)                                                  \
    {                                                                                \
        if (!::apptest::IsLinkRecorderChild())                                       \
            GTEST_SKIP() << "only started by the shell as the link recorder";        \
        ::apptest::RecordLinkFromCommandLine();                                      \
    }
