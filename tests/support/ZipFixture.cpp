#include "support/ZipFixture.h"

#include "support/Text.h"

#include <windows.h>

#include <cstring>

#include <minizip/zip.h>

namespace zipfixture {
namespace {

struct Sink {
    std::string* out;
    uint64_t position;
};

voidpf ZCALLBACK SinkOpen(voidpf opaque, const void*, int)
{
    return new Sink{static_cast<std::string*>(opaque), 0};
}

uLong ZCALLBACK SinkRead(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* s = static_cast<Sink*>(stream);
    if (s->position >= s->out->size())
        return 0;
    uLong n = static_cast<uLong>(std::min<uint64_t>(size, s->out->size() - s->position));
    std::memcpy(buf, s->out->data() + s->position, n);
    s->position += n;
    return n;
}

uLong ZCALLBACK SinkWrite(voidpf, voidpf stream, const void* buf, uLong size)
{
    auto* s = static_cast<Sink*>(stream);
    if (s->out->size() < s->position + size)
        s->out->resize(static_cast<size_t>(s->position + size));
    std::memcpy(&(*s->out)[static_cast<size_t>(s->position)], buf, size);
    s->position += size;
    return size;
}

ZPOS64_T ZCALLBACK SinkTell(voidpf, voidpf stream)
{
    return static_cast<Sink*>(stream)->position;
}

long ZCALLBACK SinkSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* s = static_cast<Sink*>(stream);
    uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0
                    : origin == ZLIB_FILEFUNC_SEEK_CUR ? s->position
                                                       : s->out->size();
    s->position = base + offset;
    return 0;
}

int ZCALLBACK SinkClose(voidpf, voidpf stream)
{
    delete static_cast<Sink*>(stream);
    return 0;
}

int ZCALLBACK SinkError(voidpf, voidpf)
{
    return 0;
}

} // namespace

std::string BuildZip(const std::vector<ZipItem>& items)
{
    std::string out;
    zlib_filefunc64_def io{};
    io.zopen64_file = SinkOpen;
    io.zread_file = SinkRead;
    io.zwrite_file = SinkWrite;
    io.ztell64_file = SinkTell;
    io.zseek64_file = SinkSeek;
    io.zclose_file = SinkClose;
    io.zerror_file = SinkError;
    io.opaque = &out;
    zipFile zip = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &io);
    if (zip == nullptr)
        return std::string();
    bool ok = true;
    for (const ZipItem& item : items) {
        zip_fileinfo info{};
        info.dosDate = item.dosDate;
        info.external_fa = item.externalAttributes;
        const int method = item.deflate ? Z_DEFLATED : 0;
        const int level = item.deflate ? Z_DEFAULT_COMPRESSION : 0;
        if (zipOpenNewFileInZip4_64(zip, item.name.c_str(), &info,
                                    item.localExtra.empty() ? nullptr : item.localExtra.data(),
                                    static_cast<uInt>(item.localExtra.size()),
                                    item.centralExtra.empty() ? nullptr : item.centralExtra.data(),
                                    static_cast<uInt>(item.centralExtra.size()), nullptr, method, level, 0,
                                    -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    item.versionMadeBy, item.utf8Flag ? 0x800 : 0, 0) != ZIP_OK) {
            ok = false;
            break;
        }
        if (!item.data.empty() &&
            zipWriteInFileInZip(zip, item.data.data(), static_cast<unsigned>(item.data.size())) != ZIP_OK)
            ok = false;
        if (zipCloseFileInZip(zip) != ZIP_OK)
            ok = false;
    }
    if (zipClose(zip, nullptr) != ZIP_OK)
        ok = false;
    return ok ? out : std::string();
}

std::string Utf8(const std::wstring& text)
{
    return testsupport::Narrow(text);
}

size_t FindBytes(const std::string& haystack, const std::string& needle, size_t from)
{
    return haystack.find(needle, from);
}

} // namespace zipfixture
