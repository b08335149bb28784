// The path rules against a second, plainly written reading of the same
// contract: the text is first cut into characters as Windows cuts GBK (a
// lead byte takes the next byte only when that is a trail byte), and every
// judgement is made on those characters. The two must agree on every input.
#include "common/path_rules.h"
#include "framework/strings.h"
#include "fuzz_support.h"

#include <vector>

namespace {
struct Char {
    std::string bytes;
    bool loneLead;  // a lead byte without its trail byte
};

std::vector<Char> Characters(const std::string& text)
{
    std::vector<Char> chars;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool lead = c >= 0x81 && c <= 0xFE;
        const bool paired = lead && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x40 &&
                            static_cast<unsigned char>(text[i + 1]) != 0x7F && static_cast<unsigned char>(text[i + 1]) != 0xFF;
        chars.push_back({text.substr(i, paired ? 2 : 1), lead && !paired});
        i += paired ? 2 : 1;
    }
    return chars;
}

bool Is(const Char& ch, const char* set)
{
    return ch.bytes.size() == 1 && std::string(set).find(ch.bytes[0]) != std::string::npos;
}

bool ReferenceName(const std::string& name)
{
    const std::vector<Char> chars = Characters(name);
    if (chars.empty())
        return false;
    bool onlyDotsAndBlanks = true;
    for (const Char& ch : chars) {
        if (ch.loneLead || (ch.bytes.size() == 1 && static_cast<unsigned char>(ch.bytes[0]) < 0x20) ||
            Is(ch, "\\/:*?\"<>|"))
            return false;
        onlyDotsAndBlanks = onlyDotsAndBlanks && Is(ch, ". ");
    }
    if (onlyDotsAndBlanks || Is(chars.back(), ". "))
        return false;
    // The device names, before the first dot and without the blanks before it.
    std::string stem;
    for (const Char& ch : chars) {
        if (Is(ch, "."))
            break;
        for (char c : ch.bytes)
            stem += (ch.bytes.size() == 1 && c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    stem.erase(stem.find_last_not_of(' ') + 1);
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
        if (stem == device)
            return false;
    const bool numbered = stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
                          stem[3] >= '0' && stem[3] <= '9';
    return !numbered;
}

// Components between whole-character backslashes, all of them names.
bool ReferenceRelative(const std::string& path)
{
    std::string part;
    for (const Char& ch : Characters(path)) {
        if (Is(ch, "\\")) {
            if (!ReferenceName(part))
                return false;
            part.clear();
        } else {
            part += ch.bytes;
        }
    }
    return ReferenceName(part);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(IsSafeName(text) == ReferenceName(text));
    FUZZ_CHECK(IsSafeRelativePath(text) == ReferenceRelative(text));

    // A record name is one name that ends in ".tmd": no folder, drive or stream.
    if (IsRecordName(text)) {
        FUZZ_CHECK(ReferenceName(text));
        for (const Char& ch : Characters(text))
            FUZZ_CHECK(!Is(ch, "\\/:"));
    }
    // Link names: one name, with the separator the caller may require.
    FUZZ_CHECK(IsSafeLinkName(text, true) == (!text.empty() && text[0] == '\\' && ReferenceName(text.substr(1))));
    if (IsSafeLinkName(text, false) && !IsSafeLinkName(text, true))
        FUZZ_CHECK(ReferenceName(text));

    // A local folder is a drive and names, and it contains every folder
    // below it, written in either case and with either separator.
    if (IsLocalFolder(text)) {
        FUZZ_CHECK(text.size() >= 3 && text[1] == ':' && text[2] == '\\');
        FUZZ_CHECK(text.size() == 3 || ReferenceRelative(text.substr(3, text.size() - 4)));
        FUZZ_CHECK(IsSameOrAncestor(text, text + "sub\\"));
        std::string other;
        for (const Char& ch : Characters(text))
            other += Is(ch, "\\") ? std::string("/") : ch.bytes;
        FUZZ_CHECK(IsSameOrAncestor(MbLowerAscii(text), other));
        FUZZ_CHECK(!IsSameOrAncestor(text + "sub\\", text));
    }
    FUZZ_CHECK(FoldPath(FoldPath(text)) == FoldPath(text));
    return 0;
}
