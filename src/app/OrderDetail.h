// The deploy descriptor: what the service supplies for the chosen package
// once it may be deployed (where the package and the extraction engine come
// from, which programs of the product are started and linked, the guide).
//
// Plain values, copied freely between threads. The 8-bit strings hold UTF-8
// text as the service sent it; readers convert with Utf8ToWideString.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A program of the installed product: started after the installation and
// linked on the desktop.
struct stBootEntry {
    std::string path;   // relative to the installation directory
    std::string name;   // the desktop shortcut's name; may be empty (no link)
};

struct stOrderDetail {
    // The state in which the package may be deployed; every other value
    // means "not yet".
    static constexpr int32_t kStateReady = 2;

    int32_t state = 1;
    std::string name;            // product name as the service names it
    std::string desc;            // product description
    std::string download_url;    // absolute URL of the package
    std::string guide_link;      // installation guide page
    std::string official_link;   // the product's official page
    std::string compress_link;   // URL of the extraction engine library
    std::vector<stBootEntry> boot;  // service order
};
