#include "installer/setup/command_line.h"
#include "installer/setup/setup_info.h"
#include "installer/setup/split_string.h"

#include <gtest/gtest.h>

TEST(SplitString, EveryFieldEndsWithTheSeparator)
{
    EXPECT_EQ(CSplitString("A|B", '|').FieldCount(), 2);
    EXPECT_EQ(CSplitString("A|B|", '|').FieldCount(), 2);
    EXPECT_EQ(CSplitString("A|", '|').FieldCount(), 1);
    EXPECT_EQ(CSplitString("AB", '|').FieldCount(), 0);
    EXPECT_EQ(CSplitString("", '|').FieldCount(), 0);

    CSplitString s("|A|", '|');
    ASSERT_EQ(s.FieldCount(), 2);
    EXPECT_EQ(s.GetField(0), "");
    EXPECT_EQ(s.GetField(1), "A");
    EXPECT_EQ(s.GetField(2), "");
    EXPECT_EQ(s.GetField(-1), "");
    EXPECT_EQ(CSplitString("AB", '|').GetField(0), "");
}

TEST(SplitString, TrailBytesEqualToTheSeparatorStayInTheirField)
{
    // "\x81\x7C" is one GBK character whose second byte is '|'.
    CSplitString s("\x81\x7C|B\x81\x7C|", '|');
    ASSERT_EQ(s.FieldCount(), 2);
    EXPECT_EQ(s.GetField(0), "\x81\x7C");
    EXPECT_EQ(s.GetField(1), "B\x81\x7C");
    EXPECT_EQ(CSplitString("\x81\x7C", '|').FieldCount(), 0);
}

TEST(SplitString, NumericFields)
{
    CSplitString s(" 12|-3x||abc|", '|');
    EXPECT_EQ(s.GetFieldInt(0), 12);
    EXPECT_EQ(s.GetFieldInt(1), -3);
    EXPECT_EQ(s.GetFieldInt(2), 0);
    EXPECT_EQ(s.GetFieldInt(3), 0);
    EXPECT_EQ(s.GetFieldInt(9), 0);
}

TEST(OutcomeCommandLine, FailedOutcomeLeavesTheProgramFieldsAlone)
{
    CSetupInfo info;
    info.m_bRunAfter = 7;
    info.m_strInstallDir = "keep\\";
    info.m_strRunProgram = "keep.exe";
    info.ParseCommandLine("1|C:\\T\\|Demo|1|D:\\X\\|x.exe|");
    EXPECT_EQ(info.m_nOutcome, 1);
    EXPECT_EQ(info.m_strTempDir, "C:\\T\\");
    EXPECT_EQ(info.m_strProductName, "Demo");
    EXPECT_EQ(info.m_bRunAfter, 7);
    EXPECT_EQ(info.m_strInstallDir, "keep\\");
    EXPECT_EQ(info.m_strRunProgram, "keep.exe");
}

TEST(OutcomeCommandLine, CompletedOutcomeCarriesTheProgramToStart)
{
    CSetupInfo info;
    info.ParseCommandLine("2|C:\\T\\|Demo|1|D:\\Apps\\Demo\\|bin\\demo.exe|");
    EXPECT_EQ(info.m_nOutcome, 2);
    EXPECT_EQ(info.m_strTempDir, "C:\\T\\");
    EXPECT_EQ(info.m_strProductName, "Demo");
    EXPECT_EQ(info.m_bRunAfter, 1);
    EXPECT_EQ(info.m_strInstallDir, "D:\\Apps\\Demo\\");
    EXPECT_EQ(info.m_strRunProgram, "bin\\demo.exe");

    // Without the final separator the last field is still there.
    CSetupInfo noEnd;
    noEnd.ParseCommandLine("2|C:\\T\\|Demo|0|D:\\A\\|a.exe");
    EXPECT_EQ(noEnd.m_bRunAfter, 0);
    EXPECT_EQ(noEnd.m_strRunProgram, "a.exe");
}

TEST(OutcomeCommandLine, MissingFieldsReadAsEmptyAndZero)
{
    CSetupInfo info;
    info.m_strProductName = "old";
    info.ParseCommandLine("no separators at all");
    EXPECT_EQ(info.m_nOutcome, 0);
    EXPECT_EQ(info.m_strTempDir, "");
    EXPECT_EQ(info.m_strProductName, "");

    CSetupInfo shortLine;
    shortLine.ParseCommandLine("2|C:\\T\\|");
    EXPECT_EQ(shortLine.m_nOutcome, 2);
    EXPECT_EQ(shortLine.m_strProductName, "");
    EXPECT_EQ(shortLine.m_bRunAfter, 0);
    EXPECT_EQ(shortLine.m_strInstallDir, "");
}

TEST(InstallerCommandLine, SwitchesReadAsAdministratorsWriteThemAndAnythingElseIsRefused)
{
    const struct {
        const char* line;
        CommandLineKind kind;
        bool silent, noRun;
        const char* folder;
    } cases[] = {
        {"", CommandLineKind::Empty, false, false, ""},
        {"  \t", CommandLineKind::Empty, false, false, ""},
        {"/S", CommandLineKind::Switches, true, false, ""},
        {" /s  /norun ", CommandLineKind::Switches, true, true, ""},
        // /D= is last and unquoted: blanks belong to the folder, and so does
        // what looks like a switch after it.
        {"/S /NORUN /D=C:\\Program Files\\Acme Tools  ", CommandLineKind::Switches, true, true, "C:\\Program Files\\Acme Tools"},
        {"/D=C:\\A /S", CommandLineKind::Switches, false, false, "C:\\A /S"},
        {"/S /D=D:\\\xD6\xD0\xCE\xC4\\", CommandLineKind::Switches, true, false, "D:\\\xD6\xD0\xCE\xC4\\"},
        // Outcomes as the working copy writes them, nothing else.
        {"2|C:\\T\\|Demo|1|D:\\A\\|a.exe|", CommandLineKind::Outcome, false, false, ""},
        {" 0|C:\\T\\|Demo| ", CommandLineKind::Outcome, false, false, ""},
        {"1|C:\\T\\|Demo", CommandLineKind::Invalid, false, false, ""},
        {"Demo|", CommandLineKind::Invalid, false, false, ""},
        {"/D=", CommandLineKind::Invalid, false, false, ""},
        {"/S /D=   ", CommandLineKind::Invalid, true, false, ""},
        {"/X", CommandLineKind::Invalid, false, false, ""},
        // A refused line that asked for silence still gets no message box.
        {"/S /quiet", CommandLineKind::Invalid, true, false, ""},
        {"/SILENT", CommandLineKind::Invalid, false, false, ""},
    };
    for (const auto& c : cases) {
        const InstallerCommandLine read = ReadInstallerCommandLine(c.line);
        EXPECT_EQ(read.kind, c.kind) << c.line;
        EXPECT_EQ(read.switches.silent, c.silent) << c.line;
        EXPECT_EQ(read.switches.noRun, c.noRun) << c.line;
        EXPECT_EQ(read.switches.folder, c.folder) << c.line;
        if (c.kind == CommandLineKind::Invalid) {
            EXPECT_FALSE(read.problem.empty()) << c.line;
        }
        if (c.kind == CommandLineKind::Switches) {
            // What the shipped installer hands to its working copy reads back the same.
            const InstallerCommandLine passed = ReadInstallerCommandLine(SwitchesCommandLine(read.switches));
            EXPECT_EQ(passed.kind, CommandLineKind::Switches) << c.line;
            EXPECT_EQ(passed.switches.silent, c.silent) << c.line;
            EXPECT_EQ(passed.switches.noRun, c.noRun) << c.line;
            EXPECT_EQ(passed.switches.folder, c.folder) << c.line;
        }
    }
    EXPECT_EQ(ReadInstallerCommandLine(" 0|C:\\T\\|Demo| ").outcome, "0|C:\\T\\|Demo|");
    EXPECT_EQ(ReadInstallerCommandLine("/S /D=" + std::string(40000, 'a')).kind, CommandLineKind::Invalid);
}
