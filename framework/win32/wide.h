// The programs keep text as GBK bytes (code page 936), as the package, the
// descriptor and the record hold it. Windows is asked in UTF-16 through the
// wide functions, so what the user sees and the names on disk do not depend
// on the system's code page. These two conversions are the only place where
// GBK meets UTF-16.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

inline constexpr UINT kGbkCodePage = 936;

// GBK to UTF-16. Bytes that are not valid GBK come out as U+FFFD rather than
// being dropped, so a damaged name still shows that something is there.
inline std::wstring Widen(std::string_view gbk)
{
    if (gbk.empty() || gbk.size() > 0x7fffffff)
        return {};
    const int length = static_cast<int>(gbk.size());
    const int n = MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), length, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), length, wide.data(), n);
    return wide;
}

// UTF-16 to GBK, or nothing when a character has no GBK form: a name that
// cannot be written in GBK is refused, never replaced by a look-alike.
inline std::optional<std::string> NarrowToGbk(std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    if (wide.size() > 0x7fffffff)
        return std::nullopt;
    const int length = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                      nullptr, &lossy);
    if (n <= 0 || lossy)
        return std::nullopt;
    std::string gbk(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, gbk.data(), n, nullptr,
                        &lossy);
    if (lossy)
        return std::nullopt;
    return gbk;
}

// A path Windows handed out, as GBK. A name GBK cannot hold (a user folder
// named in another script) is tried again by its short form, which names
// the same file in plain letters; nothing when neither can be written.
inline std::optional<std::string> NarrowPathToGbk(const std::wstring& path)
{
    if (auto gbk = NarrowToGbk(path))
        return gbk;
    const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0 || n > 32768)
        return std::nullopt;
    std::wstring shorter(n, L'\0');
    const DWORD got = GetShortPathNameW(path.c_str(), shorter.data(), n);
    if (got == 0 || got >= n)
        return std::nullopt;
    shorter.resize(got);
    return NarrowToGbk(shorter);
}
