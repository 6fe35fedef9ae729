// Builds "cache.db" files byte by byte, independent of the cache's own writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cachedb {

template <class T>
void Put(std::string& out, T v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof(v));
}

// One record; pathUnits overrides the stored path length when not -1.
inline std::string Record(uint32_t hash, const std::wstring& path, uint32_t size, int64_t validity, int64_t lastAccess,
                          int64_t pathUnits = -1)
{
    std::string out;
    Put<uint32_t>(out, hash);
    Put<uint32_t>(out, pathUnits < 0 ? static_cast<uint32_t>(path.size() + 1) : static_cast<uint32_t>(pathUnits));
    out.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * 2);
    Put<uint32_t>(out, size);
    Put<int64_t>(out, validity);
    Put<int64_t>(out, lastAccess);
    return out;
}

inline std::string Db(int32_t count, const std::vector<std::string>& records)
{
    std::string out;
    Put<int32_t>(out, count);
    for (const std::string& r : records)
        out += r;
    return out;
}

struct ParsedRecord {
    uint32_t hash;
    std::wstring path;
    uint32_t size;
    int64_t validity;
    int64_t lastAccess;
    size_t offset;
};

// Strict reader: false when the bytes are not exactly count records.
inline bool Parse(const std::string& bytes, int32_t* count, std::vector<ParsedRecord>* out)
{
    auto get = [&](size_t at, void* dst, size_t n) {
        if (at + n > bytes.size())
            return false;
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + n),
                  static_cast<char*>(dst));
        return true;
    };
    if (!get(0, count, 4))
        return false;
    size_t pos = 4;
    out->clear();
    for (int32_t i = 0; i < *count; ++i) {
        ParsedRecord r;
        uint32_t units = 0;
        r.offset = pos;
        if (!get(pos, &r.hash, 4) || !get(pos + 4, &units, 4) || units == 0)
            return false;
        std::wstring path(units, L'\0');
        if (!get(pos + 8, &path[0], 2 * units) || path.back() != L'\0')
            return false;
        path.pop_back();
        r.path = path;
        if (!get(pos + 8 + 2 * units, &r.size, 4) || !get(pos + 12 + 2 * units, &r.validity, 8) ||
            !get(pos + 20 + 2 * units, &r.lastAccess, 8))
            return false;
        out->push_back(r);
        pos += 28 + 2 * units;
    }
    return pos == bytes.size();
}

} // namespace cachedb
