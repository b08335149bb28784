#include "tools/pack/gbk.h"

#include <windows.h>

namespace {
constexpr UINT kGbk = 936;

bool ToWide(UINT codePage, const std::string& in, std::wstring& out)
{
    out.clear();
    if (in.empty())
        return true;
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), out.data(),
                               n) == n;
}

bool FromWide(UINT codePage, const std::wstring& in, std::string& out)
{
    out.clear();
    if (in.empty())
        return true;
    // UTF-8 takes no default character; for GBK one being used means a
    // character it cannot hold.
    const bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    int n = WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), nullptr, 0, nullptr, used);
    if (n <= 0 || usedDefault)
        return false;
    out.resize(static_cast<size_t>(n));
    return WideCharToMultiByte(codePage, flags, in.data(), static_cast<int>(in.size()), out.data(), n, nullptr,
                               used) == n &&
           !usedDefault;
}
}  // namespace

bool Utf8ToGbk(const std::string& utf8, std::string& gbk)
{
    std::wstring wide;
    return ToWide(CP_UTF8, utf8, wide) && FromWide(kGbk, wide, gbk);
}

bool GbkToUtf8(const std::string& gbk, std::string& utf8)
{
    std::wstring wide;
    return ToWide(kGbk, gbk, wide) && FromWide(CP_UTF8, wide, utf8);
}
