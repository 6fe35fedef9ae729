#include "Corvel/Core/ArchiveMemoryIo.h"

#include <cstring>
#include <new>

namespace {

struct MemoryCursor {
    const ArchiveMemorySource* source;
    uint64_t position;
};

voidpf ZCALLBACK MemOpen(voidpf, const void* name, int mode)
{
    // The archive is only ever read; writing through this layer is refused.
    if (name == nullptr || (mode & ZLIB_FILEFUNC_MODE_WRITE) != 0)
        return nullptr;
    const auto* source = static_cast<const ArchiveMemorySource*>(name);
    if (source->data == nullptr && source->size != 0)
        return nullptr;
    return new (std::nothrow) MemoryCursor{source, 0};
}

uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* cursor = static_cast<MemoryCursor*>(stream);
    if (cursor == nullptr || buf == nullptr)
        return 0;
    const uint64_t total = cursor->source->size;
    if (cursor->position >= total)
        return 0;
    uint64_t count = total - cursor->position;
    if (count > size)
        count = size;
    std::memcpy(buf, cursor->source->data + cursor->position, static_cast<size_t>(count));
    cursor->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf stream)
{
    auto* cursor = static_cast<MemoryCursor*>(stream);
    return cursor ? cursor->position : static_cast<ZPOS64_T>(-1);
}

long ZCALLBACK MemSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* cursor = static_cast<MemoryCursor*>(stream);
    if (cursor == nullptr)
        return -1;
    const uint64_t total = cursor->source->size;
    uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: {
        // minizip steps back over an entry's extra field with a negative
        // offset held in a uLong, which is 32 bits wide on Windows: read the
        // offset as signed in that width. The source never exceeds 4 GiB,
        // so no real forward step is that large.
        int64_t delta = static_cast<int64_t>(offset);
        if (offset >= 0x80000000ull && offset <= 0xFFFFFFFFull)
            delta = static_cast<int32_t>(static_cast<uint32_t>(offset));
        if (delta < 0) {
            const uint64_t back = static_cast<uint64_t>(-(delta + 1)) + 1;
            if (back > cursor->position)
                return -1;
            cursor->position -= back;
            return 0;
        }
        base = cursor->position;
        offset = static_cast<uint64_t>(delta);
        break;
    }
    case ZLIB_FILEFUNC_SEEK_END: base = total; break;
    default: return -1;
    }
    // Offsets come from the archive itself: anything outside the block is
    // refused instead of wrapping around.
    if (offset > total || base > total - offset)
        return -1;
    cursor->position = base + offset;
    return 0;
}

int ZCALLBACK MemClose(voidpf, voidpf stream)
{
    delete static_cast<MemoryCursor*>(stream);
    return 0;
}

int ZCALLBACK MemError(voidpf, voidpf)
{
    return 0;
}

} // namespace

void FillArchiveMemoryIo(zlib_filefunc64_def* io)
{
    if (io == nullptr)
        return;
    io->zopen64_file = MemOpen;
    io->zread_file = MemRead;
    io->zwrite_file = MemWrite;
    io->ztell64_file = MemTell;
    io->zseek64_file = MemSeek;
    io->zclose_file = MemClose;
    io->zerror_file = MemError;
    io->opaque = nullptr;
}
