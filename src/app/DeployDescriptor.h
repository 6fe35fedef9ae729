// The deploy descriptor of the chosen package: the reader of the service's
// order answer and the worker that asks for it until the package may be
// deployed.
//
// The reader is pure and runs on any thread. The worker's thread never
// touches UI objects: it hands each result to its callback, which posts it
// on (CMainWnd::OnDeployDescriptor).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/OrderDetail.h"
#include "app/ServiceApi.h"

// Results of a descriptor request as the descriptor callback carries them.
enum DescriptorCode : int {
    kDescriptorValid = 0,        // a descriptor in state 2
    kDescriptorEmptyAnswer = 5,  // no answer at all (the call failed, or an empty body)
    kDescriptorNotJson = 6,      // the answer is not JSON
    kDescriptorRefused = 7,      // the answer's integer `code` is not 0
    kDescriptorNoData = 8,       // the answer has no object `data`
    kDescriptorTimedOut = 9,     // still not ready when the polling gave up
};

// Where the extraction engine library lives under the service base URL when
// the descriptor names none.
constexpr wchar_t kDefaultCompressPath[] = L"/res/Compress.dll";

// baseUrl + kDefaultCompressPath as UTF-8: the default `compress_link`.
std::string DefaultCompressLink(const std::wstring& baseUrl);

// The user's text for a failure code (5 to 9); empty for any other code.
std::wstring DescriptorFailureText(int code);

// Fills `order` from an answer text (UTF-8 JSON). Returns kDescriptorValid
// when the answer's `data` object was read; `order.state` then tells whether
// the package may be deployed. Otherwise returns code 5 to 8 and leaves
// `order` untouched. Members of the wrong JSON type keep their defaults; an
// empty `compress_link` becomes `defaultCompressLink`.
int ReadOrderAnswer(const std::string& text, const std::string& defaultCompressLink, stOrderDetail& order);

// The descriptor callback: (descriptor, flag, code, message). code 0: the
// descriptor is valid; otherwise message is the text for the user. The flag
// is passed through (always false here). Called on the worker's thread; the
// callee copies what it keeps before it returns.
using DeployDescriptorCallback =
    std::function<void(const stOrderDetail& order, bool flag, int code, const std::wstring& message)>;

// What the worker asks for: a copy, kept by the worker's thread.
struct stDescriptorRequest {
    stServiceEndpoint endpoint;
    std::string packageSn;            // `package_sn` of the chosen package
    std::string defaultCompressLink;  // see ReadOrderAnswer
};

// Asks POST base URL + kApiOrder with the common request body plus
// `package_sn` on a thread of its own, again every kPollIntervalMs while the
// answer's `state` is not 2, for at most kPollLimitMs; then calls back once:
// code 0 with the ready descriptor, 5 to 8 at the first failed answer, or 9
// when time ran out. Nothing is called back after Stop.
//
// Ownership: the thread shares the worker's state (request, callback, stop
// event, a network resource manager reference), so a thread still inside a
// service call when the owner goes keeps what it uses and ends on its own
// without calling back. Owner: UI thread.
class DeployDescriptorWorker {
public:
    // Between two order requests, and how long the service may take to get
    // the package ready before the user is told to try again later.
    static constexpr DWORD kPollIntervalMs = 2000;
    static constexpr DWORD kPollLimitMs = 60000;

    DeployDescriptorWorker(stDescriptorRequest request, DeployDescriptorCallback callback);
    // Stops (no callback afterwards); never waits for the thread.
    ~DeployDescriptorWorker();
    DeployDescriptorWorker(const DeployDescriptorWorker&) = delete;
    DeployDescriptorWorker& operator=(const DeployDescriptorWorker&) = delete;

    // Starts the thread once; false when it could not be started or was
    // started before.
    bool Start();
    // No callback runs after this returns (one already running finishes
    // first); a thread waiting between requests wakes and ends at once, one
    // inside a service call ends when the call returns.
    void Stop();

    // True when the thread has ended within `ms`.
    bool WaitForEndForTesting(DWORD ms) const;
    // Shortens (or lengthens) the polling of workers started afterwards;
    // 0, 0 restores kPollIntervalMs and kPollLimitMs.
    static void SetPollingForTesting(DWORD intervalMs, DWORD limitMs);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    bool m_started = false;
};
