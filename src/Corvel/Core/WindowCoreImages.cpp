// Window core: the image table (images loaded at the window's scale, from
// bytes and from GDI bitmaps, reloaded after a DPI change or device loss)
// and network pictures (bound per URL, fetched through the core's own
// network resource manager, stored when kMsgNetImage arrives).
//
// Fields touched here: m_images, m_bindings, m_netManager, m_picHandler.
// UI thread only; the picture handler is the one piece worker threads reach.
#include "Corvel/Core/WindowCore.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "Corvel/Core/UiNetHandlers.h"
#include "Corvel/Render/ImageDecoder.h"
#include "Corvel/Render/RenderTarget.h"
#include "net/NetResManager.h"

namespace ui {

namespace {

constexpr int kBaseDpi = 96;
// A "?" at or before this index is part of the scheme or host, not a query.
constexpr size_t kLastNonQueryIndex = 5;
constexpr int kMsPerSecond = 1000;

bool IsSvgPath(const CUiString& path) { return path.Find(L".svg") >= 0; }

bool IsIconPath(const CUiString& path)
{
    std::wstring lower = path.ToStdString();
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(towlower(c));
    return lower.find(L".ico") != std::wstring::npos;
}

// A raster file from the window's scale folder (`scaled`: that folder is not
// the 100 % one), else from the 100 % folder. madeFor receives the DPI the
// loaded pixels were drawn for.
ImagePtr LoadRasterForScale(RenderTarget* target, const CUiString& path, const CUiString& basePath, bool scaled,
                            int dpi, unsigned& madeFor)
{
    madeFor = kBaseDpi;
    ImagePtr loaded = LoadImageFile(target, path.GetData());
    if (loaded && scaled)
        madeFor = static_cast<unsigned>(dpi);
    else if (!loaded && scaled && !basePath.EqualsNoCase(path.GetData()))
        loaded = LoadImageFile(target, basePath.GetData());
    return loaded;
}

} // namespace

bool BindImageResource(WindowCore* core, const CUiImage& image, Control* control, bool replace)
{
    return core && core->BindImageResource(image, control, replace);
}

// ---- table ---------------------------------------------------------------------

tagTImageInfo* WindowCore::FindImageEntry(const CUiImage& image)
{
    const CUiString key = image.GetCacheKey();
    for (WindowCore* core = this; core; core = core->m_parentCore) {
        if (void* entry = core->m_images.Find(key.GetData()))
            return static_cast<tagTImageInfo*>(entry);
    }
    return nullptr;
}

tagTImageInfo* WindowCore::GetImage(CUiImage& image)
{
    if (void* entry = m_images.Find(image.GetCacheKey().GetData()))
        return static_cast<tagTImageInfo*>(entry);
    if (image.IsNetImage())
        return nullptr;
    return LoadImage(image);
}

bool WindowCore::StoreImage(const CUiString& key, std::unique_ptr<tagTImageInfo> image)
{
    if (!image || !m_images.Insert(key.GetData(), image.get()))
        return false;
    image.release();
    return true;
}

tagTImageInfo* WindowCore::LoadImage(const CUiImage& image)
{
    if (!m_renderTarget)
        return nullptr;
    const CUiString key = image.GetCacheKey();
    if (void* entry = m_images.Find(key.GetData()))
        return static_cast<tagTImageInfo*>(entry);
    const int dpi = GetDpi() > 0 ? GetDpi() : kBaseDpi;
    bool scaled = false, base = false;
    const CUiString path = GetScalePrefix(dpi, scaled) + key.GetData();
    const CUiString basePath = GetScalePrefix(kBaseDpi, base) + key.GetData();

    ImagePtr loaded;
    unsigned madeFor = kBaseDpi;
    if (IsSvgPath(path)) {
        // One document for every scale, rendered at this window's.
        const RECTF dest = image.GetDestRect();
        loaded = LoadSvgImage(m_renderTarget, basePath.GetData(), static_cast<float>(dpi), dest.Width(),
                              dest.Height(), image.GetStrokeColor(), image.GetFillColor(), image.GetStyleSheet());
        madeFor = static_cast<unsigned>(dpi);
    } else {
        loaded = LoadRasterForScale(m_renderTarget, path, basePath, scaled, dpi, madeFor);
    }
    if (!loaded)
        return nullptr;
    ApplyFrameDelays(loaded.get(), image);
    loaded->imageDpi = madeFor;
    loaded->targetDpi = static_cast<unsigned>(dpi);
    tagTImageInfo* stored = loaded.get();
    return StoreImage(key, std::move(loaded)) ? stored : nullptr;
}

tagTImageInfo* WindowCore::AddImageFromHbitmap(const CUiImage& image, HBITMAP bitmap, int width, int height,
                                               Control*)
{
    if (!bitmap || width <= 0 || height <= 0 || !m_renderTarget)
        return nullptr;
    const CUiString key = image.GetCacheKey();
    if (void* entry = m_images.Find(key.GetData()))
        return static_cast<tagTImageInfo*>(entry);
    ImagePtr loaded = LoadImageFromHbitmap(m_renderTarget, bitmap);
    if (!loaded)
        return nullptr;
    ApplyFrameDelays(loaded.get(), image);
    tagTImageInfo* stored = loaded.get();
    return StoreImage(key, std::move(loaded)) ? stored : nullptr;
}

tagTImageInfo* WindowCore::AddImageFromMemory(const CUiImage& image, const void* bytes, size_t length, bool replace)
{
    if (!bytes || length == 0 || !m_renderTarget)
        return nullptr;
    const CUiString key = image.GetCacheKey();
    if (void* entry = m_images.Find(key.GetData())) {
        if (!replace)
            return static_cast<tagTImageInfo*>(entry);
        delete static_cast<tagTImageInfo*>(entry);
        m_images.Remove(key.GetData());
    }
    ImagePtr loaded = DecodeImageFromMemory(m_renderTarget, bytes, length, IsIconPath(key));
    if (!loaded)
        return nullptr;
    ApplyFrameDelays(loaded.get(), image);
    loaded->fromMemory = true;
    loaded->targetDpi = static_cast<unsigned>(GetDpi() > 0 ? GetDpi() : kBaseDpi);
    tagTImageInfo* stored = loaded.get();
    return StoreImage(key, std::move(loaded)) ? stored : nullptr;
}

bool WindowCore::RemoveImage(const CUiImage& image)
{
    // Removed from the core that holds it, so no table keeps a deleted entry.
    const CUiString key = image.GetCacheKey();
    for (WindowCore* core = this; core; core = core->m_parentCore) {
        if (void* entry = core->m_images.Find(key.GetData())) {
            // Freed only once it is out of the table: an entry the table
            // still lists is never deleted.
            if (!core->m_images.Remove(key.GetData()))
                return false;
            delete static_cast<tagTImageInfo*>(entry);
            return true;
        }
    }
    return false;
}

void WindowCore::RemoveAllImages()
{
    for (int i = 0; const wchar_t* key = m_images.GetKeyAt(i); ++i)
        delete static_cast<tagTImageInfo*>(m_images.Find(key, false));
    m_images.Resize(kImageTableBuckets);
}

void WindowCore::ApplyFrameDelays(tagTImageInfo* info, const CUiImage& image)
{
    if (!info || info->FrameCount() <= 1 || (image.GetInterval() == 0 && image.GetDuration() == 0))
        return;
    // Both are read as unsigned; a negative text wraps and counts as 0 or less.
    int delay = static_cast<int>(image.GetInterval());
    const int duration = static_cast<int>(image.GetDuration());
    if (duration > 0)
        delay = duration * kMsPerSecond / info->FrameCount();
    if (delay <= 0)
        delay = kDefaultFrameDelayMs;
    std::fill(info->delays.begin(), info->delays.end(), delay);
}

// ---- reload --------------------------------------------------------------------

// A file entry loaded again for the current DPI; null when the old one stays.
std::unique_ptr<tagTImageInfo> WindowCore::ReloadFileImage(const CUiString& key, const tagTImageInfo& old)
{
    const int dpi = GetDpi() > 0 ? GetDpi() : kBaseDpi;
    bool scaled = false, base = false;
    const CUiString path = GetScalePrefix(dpi, scaled) + key.GetData();
    const CUiString basePath = GetScalePrefix(kBaseDpi, base) + key.GetData();
    ImagePtr loaded;
    unsigned madeFor = kBaseDpi;
    if (IsSvgPath(path)) {
        const float toBase = static_cast<float>(kBaseDpi) / static_cast<float>(old.imageDpi ? old.imageDpi : 96);
        loaded = LoadSvgImage(m_renderTarget, basePath.GetData(), static_cast<float>(dpi), old.width * toBase,
                              old.height * toBase, old.strokeColor, old.fillColor, old.styleSheet);
        madeFor = static_cast<unsigned>(dpi);
    } else {
        loaded = LoadRasterForScale(m_renderTarget, path, basePath, scaled, dpi, madeFor);
    }
    if (!loaded)
        return nullptr;
    // The descriptor is not at hand: the old frame delays carry over.
    if (loaded->FrameCount() == old.FrameCount())
        loaded->delays = old.delays;
    loaded->imageDpi = madeFor;
    loaded->targetDpi = static_cast<unsigned>(dpi);
    return loaded;
}

// The first finished binding of the key's picture is fetched again (for the
// new scale) for each of its controls; the new picture replaces the old.
void WindowCore::RebindNetImage(const CUiString& key)
{
    for (auto it = m_bindings.begin(); it != m_bindings.end(); ++it) {
        stResBindInfo* binding = it->second;
        if (!binding->done || !binding->image.GetFileName().Equals(key.GetData()))
            continue;
        m_bindings.erase(it);
        for (Control* control : binding->waiting)
            BindImageResource(binding->image, control, true);
        delete binding;
        return;
    }
}

void WindowCore::ReloadImages(bool force)
{
    if (!m_renderTarget)
        return;
    const int dpi = GetDpi() > 0 ? GetDpi() : kBaseDpi;
    std::vector<CUiString> keys;
    for (int i = 0; const wchar_t* key = m_images.GetKeyAt(i); ++i)
        keys.emplace_back(key);
    bool replaced = false;
    for (const CUiString& key : keys) {
        auto* old = static_cast<tagTImageInfo*>(m_images.Find(key.GetData(), false));
        if (!old)
            continue;
        if (old->fromMemory) {
            if (force) {
                delete old;
                m_images.Remove(key.GetData());
            } else {
                old->targetDpi = static_cast<unsigned>(dpi);
            }
            RebindNetImage(key);
            continue;
        }
        bool scaled = false;
        const CUiString path = GetScalePrefix(dpi, scaled) + key.GetData();
        if (path.EqualsNoCase(key.GetData()) && !IsSvgPath(path) && !force) {
            old->targetDpi = static_cast<unsigned>(dpi);
            continue;
        }
        std::unique_ptr<tagTImageInfo> fresh = ReloadFileImage(key, *old);
        if (!fresh) {
            old->targetDpi = static_cast<unsigned>(dpi);
            continue;
        }
        m_images.Set(key.GetData(), fresh.release());
        delete old;
        replaced = true;
    }
    if (replaced && m_root)
        m_root->Repaint();
}

// ---- network pictures -----------------------------------------------------------

std::wstring WindowCore::NetImageUrl(const CUiImage& image) const
{
    std::wstring url = image.GetCacheKey().ToStdString();
    if (url.empty() || GetScale() <= 1.0f)
        return url;
    const size_t query = url.find(L'?');
    url += (query != std::wstring::npos && query > kLastNonQueryIndex) ? L"&scale=" : L"?scale=";
    wchar_t scale[32];
    swprintf(scale, sizeof(scale) / sizeof(scale[0]), L"%0.2f", static_cast<double>(GetScale()));
    return url + scale;
}

bool WindowCore::BindImageResource(const CUiImage& image, Control* control, bool replace)
{
    if (!image.IsNetImage())
        return false;
    const std::wstring url = NetImageUrl(image);
    if (url.empty())
        return false;
    auto pending = m_bindings.find(url);
    if (pending != m_bindings.end()) {
        stResBindInfo* binding = pending->second;
        if (binding->done)
            return false;
        if (control && std::find(binding->waiting.begin(), binding->waiting.end(), control) == binding->waiting.end())
            binding->waiting.push_back(control);
        return true;
    }
    if (!m_netManager) {
        const std::wstring& folder = GetUiCacheFolder();
        m_netManager.reset(new CNetResManager(folder.empty() ? nullptr : folder.c_str()));
    }
    if (!m_picHandler) {
        m_picHandler.reset(new PicNetResHandler());
        m_picHandler->SetWindow(m_window);
    }
    auto* binding = new stResBindInfo();
    binding->url = url;
    binding->image = image;
    binding->replace = replace;
    if (control)
        binding->waiting.push_back(control);
    m_bindings[url] = binding;

    stRequestTask task;
    task.url = url;
    task.handler = m_picHandler.get();
    task.userData = binding;
    task.synchronous = 0;
    task.cacheValidity = static_cast<int64_t>(image.GetLife());
    m_netManager->AddTask(&task);
    return true;
}

void WindowCore::OnNetImage(WPARAM wParam)
{
    auto* record = reinterpret_cast<PicNetResHandler::PostedUrl*>(wParam);
    if (!record || !m_picHandler)
        return;
    // Only the URL is read: the binding is looked up, never taken from the
    // record, so a binding deleted meanwhile is never touched.
    auto it = m_bindings.find(record->url);
    if (it != m_bindings.end() && !it->second->done) {
        stResBindInfo* binding = it->second;
        if (AddImageFromMemory(binding->image, binding->body, binding->bodyLength, binding->replace)) {
            binding->FreeBody();
            binding->done = 1;
            for (Control* control : binding->waiting)
                control->Repaint();
        } else {
            // Not a picture: forgotten, so a later binding asks again.
            m_bindings.erase(it);
            delete binding;
        }
    }
    m_picHandler->ReleasePostedUrl(record);
}

void WindowCore::ForgetWaitingControl(Control* control)
{
    for (auto& entry : m_bindings) {
        std::vector<Control*>& waiting = entry.second->waiting;
        waiting.erase(std::remove(waiting.begin(), waiting.end(), control), waiting.end());
    }
}

// No callback of the picture handler runs once the manager has cancelled it
// and shut its engine down; only then do the bindings (the requests' user
// data) go.
void WindowCore::DeleteImageBindings()
{
    if (m_netManager && m_picHandler)
        m_netManager->CancelHandler(m_picHandler.get());
    m_netManager.reset();
    m_picHandler.reset();
    for (auto& entry : m_bindings)
        delete entry.second;
    m_bindings.clear();
}

} // namespace ui
