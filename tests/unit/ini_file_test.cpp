#include "common/ini_file.h"
#include "common/scramble.h"
#include "framework/strings.h"
#include "support.h"

#include <gtest/gtest.h>

#include <random>

namespace {
// A document loaded from plain text lines (CR LF after each).
CIniFile Loaded(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    const std::string path = NewScratchFolder() + "doc.ini";
    WriteWholeFile(path, text);
    CIniFile ini;
    EXPECT_TRUE(ini.Load(path, false));
    return ini;
}

// The document read literally: every operation walks the lines from the top.
struct PlainDocument {
    std::vector<std::string> lines;

    std::string Get(const std::string& section, const std::string& key, const std::string& def) const
    {
        size_t h = 0;
        while (h < lines.size() && CIniFile::MatchSection(lines[h], section) != 2)
            ++h;
        for (size_t j = h + 1; j < lines.size(); ++j) {
            std::string value;
            const int m = CIniFile::MatchKey(lines[j], key, &value);
            if (m == 2)
                return value;
            if (m == 1)
                return def;
        }
        return def;
    }

    void Set(const std::string& section, const std::string& key, const std::string& value)
    {
        const std::string line = key + "=" + value;
        size_t h = 0;
        while (h < lines.size() && CIniFile::MatchSection(lines[h], section) != 2)
            ++h;
        if (h >= lines.size()) {
            if (lines.size() > 1)
                lines.emplace_back();
            lines.push_back("[" + section + "]");
            lines.push_back(line);
            return;
        }
        for (size_t j = h + 1; j < lines.size(); ++j) {
            const int m = CIniFile::MatchKey(lines[j], key);
            if (m == 2) {
                lines[j] = line;
                return;
            }
            if (m == 1) {
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lines[j - 1].empty() ? j - 1 : j), line);
                return;
            }
        }
        lines.push_back(line);
    }
};
}  // namespace

TEST(IniDocument, NewDocumentGetsOneEmptyLineBetweenSections)
{
    CIniFile ini;
    ASSERT_TRUE(ini.Load(NewScratchFolder() + "new.ini", false));
    EXPECT_FALSE(ini.Exists());
    ini.SetValue("SoftInfo", "productname", "Demo");
    ini.SetValue("InstallInfo", "InstallDir", "C:\\Demo\\");
    EXPECT_EQ(ini.Lines(), (std::vector<std::string>{"[SoftInfo]", "productname=Demo", "", "[InstallInfo]",
                                                     "InstallDir=C:\\Demo\\"}));
    // A new document answers every question with the default.
    EXPECT_EQ(ini.GetValue("SoftInfo", "productname", "def"), "def");
}

TEST(IniDocument, EmptyLineRuleCountsMoreThanOneLine)
{
    CIniFile one = Loaded({"x"});
    one.SetValue("S", "k", "v");
    EXPECT_EQ(one.Lines(), (std::vector<std::string>{"x", "[S]", "k=v"}));
    CIniFile two = Loaded({"x", "y"});
    two.SetValue("S", "k", "v");
    EXPECT_EQ(two.Lines(), (std::vector<std::string>{"x", "y", "", "[S]", "k=v"}));
}

TEST(IniDocument, InsertionsKeepTheEmptyLineBetweenSections)
{
    CIniFile ini = Loaded({"[A]", "a=1", "", "[B]", "b=1"});
    ini.SetValue("A", "a2", "2");   // before the empty line
    ini.SetValue("B", "b2", "2");   // the last section: at the end
    ini.SetValue("A", "a", "one");  // in place, the whole line replaced
    EXPECT_EQ(ini.Lines(), (std::vector<std::string>{"[A]", "a=one", "a2=2", "", "[B]", "b=1", "b2=2"}));
    // Without an empty line the key goes directly before the next header.
    CIniFile tight = Loaded({"[A]", "[B]"});
    tight.SetValue("A", "k", "v");
    EXPECT_EQ(tight.Lines(), (std::vector<std::string>{"[A]", "k=v", "[B]"}));
}

TEST(IniDocument, ValuesKeepTheirInnerWhiteSpace)
{
    CIniFile ini = Loaded({"[S]", "  key = value  ", "empty=", "url=http://x//y // note", "noequals", "=lead"});
    EXPECT_EQ(ini.GetValue("S", "key", "d"), " value");
    EXPECT_EQ(ini.GetValue("S", "empty", "d"), "");
    EXPECT_EQ(ini.GetInt("S", "empty", 7), 0);
    EXPECT_EQ(ini.GetInt("S", "missing", 7), 7);
    EXPECT_EQ(ini.GetValue("S", "url", "d"), "http://x//y // note");
    // The empty key matches the first line without a key of its own.
    EXPECT_EQ(ini.GetValue("S", "", "d"), "noequals");
}

TEST(IniDocument, HeadersCommentsAndCase)
{
    CIniFile ini = Loaded({"k=outside", "[A]//note", "k=1", "[B] //note", "k=2", "[a]", "K=3", "k=4", "[ C ]",
                           "k=5", "// [D]", "k=6"});
    EXPECT_EQ(ini.GetValue("A", "k", "d"), "1");
    // A space before "//" spoils the header, but the line still ends section A.
    EXPECT_EQ(ini.GetValue("B", "k", "d"), "d");
    EXPECT_EQ(ini.GetValue("a", "k", "d"), "4");
    EXPECT_EQ(ini.GetValue("a", "K", "d"), "3");
    EXPECT_EQ(ini.GetValue(" C ", "k", "d"), "5");
    EXPECT_EQ(ini.GetValue("C", "k", "d"), "d");
    EXPECT_EQ(ini.GetValue("", "k", "d"), "d");
    // A comment line is inert: the key after it still belongs to " C ".
    EXPECT_EQ(ini.GetValue(" C ", "k", "d"), "5");
}

TEST(IniDocument, FirstSectionAndFirstKeyWin)
{
    CIniFile ini = Loaded({"[S]", "k=1", "k=2", "[S]", "k=3", "j=9"});
    EXPECT_EQ(ini.GetValue("S", "k", "d"), "1");
    EXPECT_EQ(ini.GetValue("S", "j", "d"), "d");
    ini.SetValue("S", "j", "8");
    ini.SetValue("S", "k", "0");
    EXPECT_EQ(ini.Lines(), (std::vector<std::string>{"[S]", "k=0", "k=2", "j=8", "[S]", "k=3", "j=9"}));
}

TEST(IniDocument, GbkTrailBytesAreNotSeparators)
{
    // "\x81\x3D" is not a GBK character, but "\xB5\x3D"-like pairs do not
    // exist either: '=' and '/' are below the trail-byte range. '[' and ']'
    // are not, and a header test looks only at the first and the last byte.
    CIniFile ini = Loaded({"[\xB0\xA1]", "\xC3\xFB=\xD6\xB5"});
    EXPECT_EQ(ini.GetValue("\xB0\xA1", "\xC3\xFB", "d"), "\xD6\xB5");
}

TEST(IniDocument, SavesCrLfAndKeepsTheFileScrambled)
{
    const std::string path = NewScratchFolder() + "rec.tmd";
    const std::string plain = "[SoftInfo]\r\nproductname=\xB2\xE2\xCA\xD4\r\n\r\n[A]\r\nlast";
    WriteWholeFile(path, plain);
    ASSERT_EQ(ScrambleFile(path), 1);
    const std::string scrambled = ReadWholeFile(path);

    CIniFile ini;
    ASSERT_TRUE(ini.Load(path, true));
    EXPECT_EQ(ReadWholeFile(path), scrambled);  // reading leaves the file as it was
    EXPECT_EQ(ini.GetValue("SoftInfo", "productname", "d"), "\xB2\xE2\xCA\xD4");
    ASSERT_TRUE(ini.Save());
    std::string saved = ReadWholeFile(path);
    ScrambleBytes(saved);
    EXPECT_EQ(saved, plain + "\r\n");  // the last line gets its CR LF too

    // An empty scrambled file cannot be loaded; a plain empty one can.
    WriteWholeFile(path, "");
    CIniFile empty;
    EXPECT_FALSE(empty.Load(path, true));
    EXPECT_TRUE(empty.Load(path, false));
    EXPECT_TRUE(empty.Exists());
    EXPECT_EQ(empty.LineCount(), 0u);
}

TEST(IniDocument, SaveFailsWhenTheFileCannotBeWritten)
{
    CIniFile ini;
    ASSERT_TRUE(ini.Load(NewScratchFolder() + "no\\such\\folder.ini", false));
    ini.SetValue("S", "k", "v");
    EXPECT_FALSE(ini.Save());
    EXPECT_EQ(ini.LineCount(), 2u);
}

TEST(IniDocument, AgreesWithTheLiteralReadingOnRandomEdits)
{
    // Small alphabets so that sections, keys and odd lines collide often.
    const std::vector<std::string> sections = {"A", "B", "a", " A", "", "A//x", "[A", "B]"};
    const std::vector<std::string> keys = {"k", "K", "j", "", " k", "k=", "[x", "m//"};
    const std::vector<std::string> odd = {"",       "  ",     "[A]",  "[B]//c", "[A] //c", "[",     "//[B]",
                                          "k=1",    " k = 2", "j=",   "=v",     "plain",   "[a]",   "\t[B]\t",
                                          "k=a//b", "[]",     "K=up", "m//=3"};
    std::mt19937 random(20261207);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };

    for (int round = 0; round < 300; ++round) {
        PlainDocument plain;
        for (int i = static_cast<int>(random() % 12); i > 0; --i)
            plain.lines.push_back(pick(odd));
        CIniFile ini = Loaded(plain.lines);
        ASSERT_EQ(ini.Lines(), plain.lines);
        for (int step = 0; step < 40; ++step) {
            const std::string section = pick(sections), key = pick(keys);
            if (random() % 2) {
                const std::string value = Format("v%d", step);
                plain.Set(section, key, value);
                ini.SetValue(section, key, value);
                ASSERT_EQ(ini.Lines(), plain.lines) << "round " << round << " step " << step;
            } else {
                ASSERT_EQ(ini.GetValue(section, key, "<d>"), plain.Get(section, key, "<d>"))
                    << "round " << round << " section '" << section << "' key '" << key << "'";
            }
        }
    }
}
