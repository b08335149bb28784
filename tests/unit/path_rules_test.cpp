#include "uninstaller/record_paths.h"

#include <gtest/gtest.h>

#include <iterator>

TEST(RecordPaths, ContainedPathsStayInsideTheirFolder)
{
    for (const char* ok : {"app.exe", "bin\\app.exe", "\\Demo.lnk", "a\\b\\c.txt", ".config\\x", "v1.2\\a..b",
                           "\xB2\xE2\xCA\xD4\\\xB3\xCC\xD0\xF2.exe",
                           // A GBK character whose trail byte is 0x5C followed by dots is one name.
                           "\x81\x5C..\\x.txt"})
        EXPECT_TRUE(IsContainedPath(ok)) << ok;
    for (const char* bad : {"", "\\", "bin\\", "..\\x", "a\\..\\..\\x", "a\\..", "...\\x", ". .\\x", ".\\x",
                            "../x", "a/../../x", "C:\\Windows\\x", "C:x", "x.txt:stream", "a*.txt", "a?.txt",
                            "a|b", "a\tb"})
        EXPECT_FALSE(IsContainedPath(bad)) << bad;
}

TEST(RecordPaths, LocalFoldersAreAbsoluteWithATrailingBackslash)
{
    for (const char* ok : {"C:\\", "c:\\Program Files\\Acme\\", "D:\\\xB2\xE2\xCA\xD4\\"})
        EXPECT_TRUE(IsLocalFolder(ok)) << ok;
    for (const char* bad : {"", "C:", "C:\\Acme", "Acme\\", "\\Acme\\", "\\\\server\\share\\", "C:\\a\\..\\",
                            "C:\\a\\\\b\\", "1:\\a\\", "C:\\a:b\\", "C:/a/"})
        EXPECT_FALSE(IsLocalFolder(bad)) << bad;
}

TEST(RecordPaths, SweepNeverReachesARootOrAProtectedFolder)
{
    const std::string shielded[] = {"C:\\Program Files\\Common Files\\Tessaramond\\", "C:\\Program Files\\"};
    const size_t n = std::size(shielded);
    EXPECT_TRUE(IsSweepableFolder("C:\\Program Files\\Acme\\", shielded, n));
    EXPECT_TRUE(IsSweepableFolder("C:\\Program Files\\Common Files\\Acme\\", shielded, n));
    for (const char* bad : {"C:\\", "D:\\", "", "C:\\Program Files\\", "c:\\PROGRAM FILES\\",
                            "C:\\Program Files\\Common Files\\", "C:\\Program Files\\Common Files\\Tessaramond\\"})
        EXPECT_FALSE(IsSweepableFolder(bad, shielded, n)) << bad;
}

TEST(RecordPaths, RecordNamesArePlainTmdNames)
{
    for (const char* ok : {"12345.tmd", "0.tmd", "4294967295.TMD"})
        EXPECT_TRUE(IsRecordName(ok)) << ok;
    for (const char* bad : {"", ".tmd", "12345", "12345.exe", "..\\12345.tmd", "C:\\12345.tmd", "a\\1.tmd",
                            "../1.tmd", "\"1.tmd\"", "*.tmd", "1.tmd:x"})
        EXPECT_FALSE(IsRecordName(bad)) << bad;
}
