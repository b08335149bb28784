// The builder's review of a setup descriptor: a correct one passes without a
// word; each mistake that the installer would take silently and then act on
// wrongly is an error on its own line.
#include "tools/pack/descriptor_check.h"
#include "tools/pack/gbk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace {
// Authors write UTF-8; this file's plain literals are compiled to GBK, so
// the descriptor texts are u8 literals.
std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

const std::string kGood = U8(
    u8"[SoftInfo]\n"                         // 1
    u8"companyname=星辰软件\n"                // 2
    u8"productname=星图演示\n"                // 3
    u8"productversion=1.0.0\n"               // 4
    u8"[InstallInfo]\n"                      // 5
    u8"folder=星辰软件\\星图演示\\\n"          // 6
    u8"bfoldersel=1\n"                       // 7
    u8"exefile=bin\\StarView.exe\n"          // 8
    u8"[StartMenu]\n"                        // 9
    u8"linknum=2\n"                          // 10
    u8"group_0=星辰软件|星图演示|\n"           // 11
    u8"exefile_0=bin\\StarView.exe\n"        // 12
    u8"linkname_0=\\星图演示.lnk\n"           // 13
    u8"group_1=星辰软件|\n"                   // 14
    u8"exefile_1=docs\\使用说明.txt\n"        // 15
    u8"linkname_1=\\使用说明.lnk\n"           // 16
    u8"[Desktop]\n"                          // 17
    u8"linknum=1\n"                          // 18
    u8"exefile_0=bin\\StarView.exe\n"        // 19
    u8"linkname_0=\\星图演示.lnk\n"           // 20
    u8"[SystemDll]\n"                        // 21
    u8"ckdll=0\n");                           // 22

InstalledNames Installed()
{
    InstalledNames names;
    for (const char8_t* utf8 : {u8"bin\\StarView.exe", u8"docs\\使用说明.txt", u8"data\\星表.csv"}) {
        std::string gbk;
        EXPECT_TRUE(Utf8ToGbk(U8(utf8), gbk));
        names.insert(FoldInstalledName(gbk));
    }
    return names;
}

// kGood with line n (1-based) replaced; an empty replacement drops the line.
std::string WithLine(unsigned n, const std::string& replacement)
{
    std::string out;
    unsigned number = 0;
    size_t start = 0;
    while (start < kGood.size()) {
        const size_t end = kGood.find('\n', start);
        ++number;
        const std::string line = kGood.substr(start, end - start);
        if (number != n)
            out += line + "\n";
        else if (!replacement.empty())
            out += replacement + "\n";
        start = end + 1;
    }
    return out;
}

std::string Describe(const std::vector<DescriptorFinding>& findings)
{
    return FormatFindings(findings, "setup.ini");
}

bool HasError(const std::vector<DescriptorFinding>& findings, unsigned line, const std::string& words)
{
    return std::any_of(findings.begin(), findings.end(), [&](const DescriptorFinding& f) {
        return f.error && f.line == line && f.message.find(words) != std::string::npos;
    });
}
}  // namespace

TEST(DescriptorCheck, ACorrectDescriptorPassesWithoutAWord)
{
    EXPECT_TRUE(CheckDescriptor(kGood, Installed()).empty()) << Describe(CheckDescriptor(kGood, Installed()));
    // Windows names are case-insensitive; CR LF line ends and a BOM are fine.
    std::string crlf = "\xEF\xBB\xBF";
    for (char c : WithLine(8, "exefile=BIN\\starview.EXE")) {
        if (c == '\n')
            crlf.push_back('\r');
        crlf.push_back(c);
    }
    EXPECT_TRUE(CheckDescriptor(crlf, Installed()).empty()) << Describe(CheckDescriptor(crlf, Installed()));
    // Without a product folder the targets cannot be looked up, and are not.
    EXPECT_TRUE(CheckDescriptor(WithLine(8, "exefile=bin\\Other.exe"), {}, false).empty());
}

TEST(DescriptorCheck, EachSilentMistakeIsAnErrorOnItsLine)
{
    struct Case {
        unsigned line;
        const char8_t* replacement;
        unsigned errorLine;
        const char* words;
    } cases[] = {
        {6, u8"folder=星辰软件\\星图演示", 6, "must end with a backslash"},
        {6, u8"folder=\\星辰软件\\", 6, "below the Program Files folder"},
        {6, u8"folder=C:\\星辰软件\\", 6, "below the Program Files folder"},
        {6, u8"folder=星辰软件\\..\\..\\Windows\\", 6, "below the Program Files folder"},
        {6, u8"folder=", 6, "Program Files folder itself"},
        {6, u8"", 2, "folder is missing"},
        {8, u8"exefile=bin\\Missing.exe", 8, "not in the product folder"},
        {8, u8"exefile=\\bin\\StarView.exe", 8, "must not begin with a backslash"},
        {8, u8"exefile=bin\\..\\..\\x.exe", 8, "not a path inside the install folder"},
        {15, u8"exefile_1=docs\\readme.txt", 15, "not in the product folder"},
        {19, u8"exefile_0=StarView.exe", 19, "not in the product folder"},
        {20, u8"linkname_0=星图演示.lnk", 20, "must begin with a backslash"},
        {13, u8"linkname_0=\\sub\\星图演示.lnk", 13, "is not a file name"},
        {16, u8"", 14, "has no linkname_1"},
        {11, u8"", 11, "has no group_0"},
        {19, u8"", 19, "has no exefile_0"},
        {3, u8"productname=星图|演示", 3, "contains \"|\""},
        {2, u8"companyname=星辰|软件", 2, "contains \"|\""},
        {6, u8"folder=星辰|软件\\", 6, "contains \"|\""},
        {3, u8"", 0, "productname is missing"},
        {3, u8"ProductName=星图演示", 3, "keys are case-sensitive"},
        {10, u8"linknum=-1", 10, "is not a count"},
        {10, u8"linknum=2147483647", 10, "more than 1000"},
        {10, u8"linknum=two", 10, "is not a count"},
        {10, u8"linknum=5", 10, "entries stop at number 1"},
        {7, u8"bfoldersel=yes", 7, "is not a number"},
        {11, u8"group_0=|星图演示|", 11, "an empty group name"},
        {11, u8"group_0=星辰软件|..|", 11, "is no folder name"},
        {17, u8"[desktop]", 17, "case-sensitive"},
        {21, u8"[StartMenu]", 21, "a second [StartMenu] section"},
    };
    for (const Case& c : cases) {
        const std::string text = WithLine(c.line, U8(c.replacement));
        const std::vector<DescriptorFinding> findings = CheckDescriptor(text, Installed());
        EXPECT_TRUE(HasError(findings, c.errorLine, c.words))
            << "line " << c.line << " -> " << U8(c.replacement) << "\n" << Describe(findings);
        EXPECT_TRUE(HasErrors(findings));
    }
}

TEST(DescriptorCheck, WarningsNameWhatIsIgnoredWithoutFailingTheBuild)
{
    struct Case {
        unsigned line;
        const char8_t* replacement;
        const char* words;
    } cases[] = {
        {22, u8"ckdll=1", "ckdll is set by the builder"},
        {4, u8"version=1.0", "is not read by the installer"},
        {8, u8"", "exefile is missing"},
        {7, u8"bfoldersel=2", "other values mean 1"},
        {13, u8"linkname_0=\\星图演示", "does not end with .lnk"},
        {11, u8"group_0=星辰软件|星图演示|更多|", "only the first two are used"},
        {14, u8"group_1=Programs", "directly into the"},
        {21, u8"[Options]", "is not read by the installer"},
    };
    for (const Case& c : cases) {
        const std::vector<DescriptorFinding> findings = CheckDescriptor(WithLine(c.line, U8(c.replacement)), Installed());
        EXPECT_FALSE(HasErrors(findings)) << U8(c.replacement) << "\n" << Describe(findings);
        const bool named = std::any_of(findings.begin(), findings.end(), [&](const DescriptorFinding& f) {
            return !f.error && f.message.find(c.words) != std::string::npos;
        });
        EXPECT_TRUE(named) << U8(c.replacement) << "\n" << Describe(findings);
    }
    // Entries past linknum are not read, and the author is told.
    const std::string extra = kGood.substr(0, kGood.find("[SystemDll]")) + "exefile_3=bin\\StarView.exe\n";
    const std::vector<DescriptorFinding> findings = CheckDescriptor(extra, Installed());
    EXPECT_TRUE(std::any_of(findings.begin(), findings.end(),
                            [](const DescriptorFinding& f) { return !f.error && f.line == 21; }))
        << Describe(findings);
}

TEST(DescriptorCheck, TextGbkCannotHoldIsRefusedWithItsLine)
{
    // U+1F600 has no GBK form: the installer could not show it.
    const std::vector<DescriptorFinding> findings =
        CheckDescriptor(WithLine(3, U8(u8"productname=演示") + "\xF0\x9F\x98\x80"), Installed());
    EXPECT_TRUE(HasError(findings, 3, "GBK")) << Describe(findings);
    EXPECT_NE(FormatFindings(findings, "setup.ini").find("setup.ini:3: error: "), std::string::npos);
    // A zero byte would cut the line short where the installer reads it,
    // even in a note.
    const std::string zero = WithLine(7, std::string("; note\0more", 11));
    EXPECT_TRUE(HasError(CheckDescriptor(zero, Installed()), 7, "control character (byte 0x00)"));
    EXPECT_TRUE(HasError(CheckDescriptor(WithLine(3, "productname=A\x01" "B"), Installed()), 3, "byte 0x01"));
}
