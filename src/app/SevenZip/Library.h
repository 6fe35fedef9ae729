// The engine library loaded from a file: the module stays loaded as long as
// the object lives, and every engine object made through it must be released
// before it is destroyed. Used on the thread that made it (the extracting
// thread).
#pragma once

#include "app/SevenZip/EngineInterfaces.h"

#include <memory>
#include <string>
#include <type_traits>

namespace sevenzip {

class Library {
public:
    // Loads the library at path and finds its CreateObject. Throws
    // ExtractError when the file is missing, not a loadable library (of this
    // process's width) or has no CreateObject.
    explicit Library(const std::wstring& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Makes an engine object of classId answering interfaceId; on success
    // the caller owns one reference in *object.
    HRESULT CreateObject(const GUID& classId, const GUID& interfaceId, void** object) const;

private:
    struct ModuleFree {
        void operator()(HMODULE module) const { FreeLibrary(module); }
    };
    std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree> m_module;
    CreateObjectFn m_createObject = nullptr;
};

} // namespace sevenzip
