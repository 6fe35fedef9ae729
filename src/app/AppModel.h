// The product model: what the web service says about the product this
// installer installs, filled by two worker threads at start-up (the service
// links and the product description) and read by the main window, the
// deployment and the exit advertisement.
//
// Ownership: the model is shared by its owner (wWinMain) and each fetch
// thread, so a thread still inside a service call at shutdown keeps it, and
// the network resource manager reference it holds, alive until it returns.
// Texts stay UTF-8 exactly as the service sent them.
#pragma once

#include "app/ServiceApi.h"
#include "net/KernelHandle.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Posted to the main window (wParam 0, lParam 0) when the product
// description is in the model.
constexpr UINT kMsgProductReady = 2025;

struct stPackageInfo {
    std::string package_sn;
    std::string name;

    // name as one safe path element (folder names, INI sections, shortcut
    // names); empty when the name leaves nothing usable.
    std::wstring FolderName() const;
};

struct stPopAd {
    bool enable = false;
    std::string link;   // read only when enable is true
    std::string img;    // picture URL; read only when enable is true
};

// The service's links ("/api/settings/info").
struct stServiceLinks {
    std::string customer_service_link;
    std::string privacy_protocol_link;
    std::string user_agreement_link;
};

// The product description ("/api/resource/products"): the first element of
// the answer's `data` array, members read in this order; a member of another
// JSON type counts as absent.
struct stProductInfo {
    std::string product_sn;
    std::string name;
    bool suicide = false;      // the service orders the installer removed
    std::string desc;
    std::string banner;
    stPopAd pop_ad;
    std::vector<stPackageInfo> packages;  // service order, cut at the first bad element

    // name as one safe path element; empty when nothing usable is left.
    std::wstring FolderName() const;
};

// Readers of the answers; pure, no side effects.
// Copies each link that is present and a string when `data` is an object;
// false when the text is empty, not JSON or has no object `data`.
bool ReadSettingsAnswer(const std::string& text, stServiceLinks& links);
// False (nothing to show, no message) for an empty answer, a parse failure, a
// `data` that is not an array, or an empty array. Otherwise true with the
// members of the first element read in table order; reading stops after
// `product_sn` when it or `name` is missing, and `suicide` true stops it
// before the optional members.
bool ReadProductsAnswer(const std::string& text, stProductInfo& product);

class CAppModel {
public:
    // Built on the UI thread, whose id it records: the removal order ends that
    // thread's message loop. Acquires the network resource manager.
    explicit CAppModel(stServiceEndpoint endpoint, DWORD uiThreadId = GetCurrentThreadId());
    // Signals both events (any waiting thread ends untouched) and releases the
    // network resource manager.
    ~CAppModel();
    CAppModel(const CAppModel&) = delete;
    CAppModel& operator=(const CAppModel&) = delete;

    // UI thread: the main window binds itself once its controls are found;
    // the products thread then posts it kMsgProductReady.
    void SetMainWindow(HWND window);
    void SignalWindowReady();

    // Owner at shutdown: frees a products thread waiting for the window; it
    // ends without posting and without touching the model's fields again.
    void Release();
    bool IsReleased() const;

    // Copies, safe from any thread at any time (the user may click a link
    // while the settings thread still writes them).
    stServiceLinks Links() const;
    stProductInfo Product() const;

    // True once the service ordered the installer removed. The UI thread then
    // shows no advertisement and runs the removal road itself (RemovalRoad.h).
    bool RemovalRequested() const { return m_removal.load(); }
    // The exit advertisement's picture URL and link (UTF-8): true only when
    // the product enables it with a non-empty picture and no removal is due.
    bool ExitAdvertisement(std::string& img, std::string& link) const;

    // Workers: one service call each (synchronous, on the calling thread).
    void FetchSettingsInfo();
    void FetchProducts();

    const stServiceEndpoint& Endpoint() const { return m_endpoint; }

private:
    void StoreProduct(stProductInfo product);
    void RequestRemoval();
    void WaitForWindowThenPost();

    const stServiceEndpoint m_endpoint;
    const DWORD m_uiThreadId;
    CKernelHandle m_releaseEvent;       // manual reset: set by Release and the destructor
    CKernelHandle m_windowReadyEvent;   // manual reset: set by SignalWindowReady and the destructor
    std::atomic<HWND> m_mainWindow{nullptr};
    std::atomic<bool> m_removal{false};
    mutable std::mutex m_lock;          // guards the two records below
    stServiceLinks m_links;
    stProductInfo m_product;
};

// Starts the settings and the products threads, each holding the model, and
// detaches them. Throws std::system_error when a thread cannot be started.
void StartServiceFetches(const std::shared_ptr<CAppModel>& model);

// Start-up and shutdown of the process's model, UI thread. CreateAppModel
// builds it on endpoint, points appModel (AppValues.h, borrowed) at it and
// starts the fetch threads. ReleaseAppModel releases it (a waiting products
// thread ends untouched), clears appModel and drops the start-up's share;
// the model is destroyed when the last fetch thread has let go of it.
void CreateAppModel(stServiceEndpoint endpoint);
void ReleaseAppModel();
