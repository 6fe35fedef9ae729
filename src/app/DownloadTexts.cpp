#include "app/DownloadTexts.h"

#include <cwchar>

namespace {

// Buffer sizes (UTF-16 units) the texts are formatted into; longer results
// are cut.
constexpr size_t kSpeedTextUnits = 64;
constexpr size_t kStateTextUnits = 64;
constexpr size_t kStartFailureUnits = 512;
constexpr size_t kReportFailureUnits = 128;

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * 1024;
constexpr float kKiBFloat = 1024.0f;
constexpr float kHundred = 100.0f;

template <size_t N, class... Args>
std::wstring Format(const wchar_t* format, Args... args)
{
    wchar_t buffer[N] = {};
    swprintf(buffer, N, format, args...);
    return buffer;
}

long long AsSigned(uint64_t code) { return static_cast<long long>(code); }

} // namespace

float DownloadPercent(uint64_t a, uint64_t b)
{
    if (b == 0)
        return 0.0f;
    return static_cast<float>(a) * kHundred / static_cast<float>(b);
}

std::wstring SpeedText(uint64_t c)
{
    if (c > kMiB)
        return Format<kSpeedTextUnits>(L"专享高速通道 %0.1fMB/S",
                                       static_cast<double>(static_cast<float>(c) / kKiBFloat / kKiBFloat));
    if (c > kKiB)
        return Format<kSpeedTextUnits>(L"专享高速通道 %0.1fKB/S",
                                       static_cast<double>(static_cast<float>(c) / kKiBFloat));
    return Format<kSpeedTextUnits>(L"专享高速通道 %lluB/S", static_cast<unsigned long long>(c));
}

std::wstring VerifyingSpeedText() { return L"校验文件完整性..."; }

stTickView ViewOfTick(uint64_t a, uint64_t b, uint64_t c)
{
    stTickView view;
    view.done = a == b;
    view.percent = DownloadPercent(a, b);
    if (view.done) {
        view.speedText = VerifyingSpeedText();
        return view;
    }
    view.pace = c <= kSlowBytesPerSecond ? TickPace::kSlow : TickPace::kFast;
    view.speedText = SpeedText(c);
    return view;
}

std::wstring DownloadingStateText(float percent)
{
    return Format<kStateTextUnits>(L"下载中 %0.2f%%", static_cast<double>(percent));
}

std::wstring VerifyingStateText(float percent)
{
    return Format<kStateTextUnits>(L"校验中 %0.2f%%", static_cast<double>(percent));
}

std::wstring StartFailureText(uint32_t code)
{
    return Format<kStartFailureUnits>(L"下载失败[%d],请检查网络连接", static_cast<int>(code));
}

std::wstring SliceFailureText(uint64_t code)
{
    return Format<kReportFailureUnits>(L"环境异常[%lld],将为您跳转至浏览器下载", AsSigned(code));
}

std::wstring MergeFailureText(uint64_t code)
{
    return Format<kReportFailureUnits>(L"环境异常[%lld],释放文件失败,可能被杀毒软件拦截,请退出杀毒软件后重试",
                                       AsSigned(code));
}
