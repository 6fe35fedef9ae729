// The prefix's desktop as the installer's shortcuts see it: the links a test
// expects there (removed with the object) and what a link file holds.
#pragma once

#include <string>
#include <vector>

namespace apptest {

// The desktop folder of the prefix's user.
std::wstring DesktopFolder();

// Links made by a test on the prefix's desktop, removed when named and again
// with the object.
class DesktopLinks {
public:
    DesktopLinks() = default;
    ~DesktopLinks();
    DesktopLinks(const DesktopLinks&) = delete;
    DesktopLinks& operator=(const DesktopLinks&) = delete;

    // The path of the link named `fileName` (without ".lnk"), gone for now.
    std::wstring Path(const std::wstring& fileName);

private:
    std::vector<std::wstring> m_paths;
};

// What a shell link file holds; all empty when it cannot be read. `path` is
// the link's stored path text; `itemPath` the path of its item list, which
// the shell follows when the link is opened.
struct LinkContents {
    std::wstring path, arguments, folder, description, itemPath;
};
LinkContents ReadLink(const std::wstring& linkPath);

} // namespace apptest
