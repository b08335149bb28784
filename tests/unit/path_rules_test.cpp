#include "common/path_rules.h"
#include "framework/strings.h"

#include <gtest/gtest.h>

TEST(PathRules, ALeadBytePairsOnlyWithATrailByte)
{
    // "A3 3A": 3A is no trail byte, so the ":" is a colon of its own; "81 5C"
    // and "81 7C" are single characters whose trail bytes look like "\" and "|".
    EXPECT_EQ(GbkCharLength("\xA3:", 0), 1u);
    EXPECT_EQ(GbkCharLength("\xA3", 0), 1u);
    EXPECT_EQ(GbkCharLength("\x81\x5C", 0), 2u);
    EXPECT_EQ(GbkCharLength("\x81\x7F", 0), 1u);
    EXPECT_EQ(GbkCharLength("\xFE\xFE", 0), 2u);
    EXPECT_EQ(GbkCharLength("\xFE\xFF", 0), 1u);
    EXPECT_EQ(MbFind("a\xA3:b", ':'), 2u);
    EXPECT_EQ(MbFind("a\x81\x5C" "b\\", '\\'), 4u);
    EXPECT_EQ(Trim(std::string("\xA3 ")), "\xA3");
    EXPECT_TRUE(IsWellFormedGbk("\xB2\xE2\x81\x5C"));
    EXPECT_FALSE(IsWellFormedGbk("x\xA3:"));
    EXPECT_FALSE(IsWellFormedGbk("x\xA3"));
}

TEST(PathRules, NamesAreStoredAsWritten)
{
    for (const char* ok : {"app.exe", "a..b", ".config", " lead", "con10.txt", "console", "com1x", "\xB2\xE2\xCA\xD4",
                           "\x81\x5C..x", "a\x81\x7C" "b"})
        EXPECT_TRUE(IsSafeName(ok)) << ok;
    for (const char* bad : {"", ".", "..", "...", ". .", "a.", "a ", "a\\b", "a/b", "x:y", "a*", "a?", "\"a\"", "<a>",
                            "a|b", "a\tb", "CON", "con.txt", "CON .txt", "Nul", "aux.dat.x", "COM1", "lpt9.log",
                            "CONIN$", "clock$", "x\xA3:stream", "\xA3:", "tail\xA3"})
        EXPECT_FALSE(IsSafeName(bad)) << bad;
}

TEST(PathRules, RelativePathsFoldersAndLinks)
{
    EXPECT_TRUE(IsSafeRelativePath("bin\\app.exe"));
    EXPECT_TRUE(IsSafeRelativePath("a\\b\\", "c.txt"));
    EXPECT_TRUE(IsSafeRelativePath("\x81\x5C\\x.txt"));
    for (const char* bad : {"", "\\app.exe", "bin\\", "a\\\\b", "..\\x", "a\\..\\..\\x", "C:\\x", "C:x", "a/b",
                            "a\\CON .txt\\b", "dots...\\x", "a \\b", "\\\\server\\share\\x"})
        EXPECT_FALSE(IsSafeRelativePath(bad)) << bad;

    EXPECT_TRUE(IsSafeRelativeFolder("Acme\\Demo\\"));
    for (const char* bad : {"", "\\", "Acme", "\\Acme\\", "Acme\\\\", "..\\", "C:\\Acme\\"})
        EXPECT_FALSE(IsSafeRelativeFolder(bad)) << bad;

    EXPECT_TRUE(IsSafeLinkName("\\Demo.lnk", true));
    EXPECT_TRUE(IsSafeLinkName("Demo.lnk", false));
    EXPECT_FALSE(IsSafeLinkName("Demo.lnk", true));
    for (const char* bad : {"\\", "\\sub\\Demo.lnk", "\\..\\Demo.lnk", "\\..", "\\NUL.lnk", "\\\xA3:x.lnk"})
        EXPECT_FALSE(IsSafeLinkName(bad, false)) << bad;

    // Group values split as the installer splits them: only two fields count.
    for (const char* ok : {"", "NoBar", "A|", "A|B|", "A|B", "A||", "A|B|..|"})
        EXPECT_TRUE(IsSafeGroup(ok)) << ok;
    for (const char* bad : {"..|", "A|..|", "A|..", "A|b\\c|", "C:|", "A|CON|"})
        EXPECT_FALSE(IsSafeGroup(bad)) << bad;
}

TEST(PathRules, LocalFoldersAndRecordNames)
{
    for (const char* ok : {"C:\\", "c:\\Program Files\\Acme\\", "D:\\\xB2\xE2\xCA\xD4\\"})
        EXPECT_TRUE(IsLocalFolder(ok)) << ok;
    for (const char* bad : {"", "C:", "C:\\Acme", "Acme\\", "\\Acme\\", "\\\\server\\share\\", "C:\\a\\..\\",
                            "C:\\a\\\\b\\", "1:\\a\\", "C:\\a:b\\", "C:/a/", "C:\\a.\\", "C:\\\xA3:x\\"})
        EXPECT_FALSE(IsLocalFolder(bad)) << bad;

    for (const char* ok : {"12345.tmd", "0.tmd", "4294967295.TMD"})
        EXPECT_TRUE(IsRecordName(ok)) << ok;
    for (const char* bad : {"", ".tmd", "12345", "12345.exe", "..\\12345.tmd", "C:\\12345.tmd", "a\\1.tmd", "../1.tmd",
                            "\"1.tmd\"", "*.tmd", "1.tmd:x", "D\xA3:x.tmd", "con.tmd"})
        EXPECT_FALSE(IsRecordName(bad)) << bad;
}

TEST(PathRules, FoldersCompareAsTheFileSystemNamesThem)
{
    EXPECT_EQ(TidyFolder("  D:/Apps//Foo "), "D:\\Apps\\Foo\\");
    EXPECT_EQ(TidyFolder("C:\\\\\xB2\xE2\\"), "C:\\\xB2\xE2\\");
    EXPECT_EQ(TidyFolder("\\\\server\\share"), "\\\\server\\share\\");
    EXPECT_EQ(TidyFolder("D:\\\x81\x5C"), "D:\\\x81\x5C\\");  // the trail byte is no separator

    EXPECT_TRUE(IsSameOrAncestor("C:\\Program Files\\", "c:/PROGRAM FILES/Acme"));
    EXPECT_TRUE(IsSameOrAncestor("C:\\Program Files", "C:\\Program Files\\"));
    EXPECT_TRUE(IsSameOrAncestor("D:\\", "d:\\Games\\x\\"));
    EXPECT_FALSE(IsSameOrAncestor("C:\\Program", "C:\\Program Files\\"));
    EXPECT_FALSE(IsSameOrAncestor("C:\\Program Files\\Acme\\", "C:\\Program Files\\"));
    // A character whose trail byte is 0x5C does not end a folder name.
    EXPECT_FALSE(IsSameOrAncestor("D:\\\x81\\", "D:\\\x81\\x\\"));
    // Nor is the separator after it a doubled one.
    EXPECT_TRUE(IsSameOrAncestor("F:\\\xFE\\\\", "F:\\\xFE\\\\sub\\"));
    EXPECT_FALSE(IsSameOrAncestor("F:\\\xFE\\\\", "F:\\\xFE\\sub\\"));
}
