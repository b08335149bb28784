// What the installer's command line asks for. It is one of three things:
// nothing (the wizard), the outcome of a working copy for the finish run
// (a digit first and "|" last, as the working copy writes it), or switches
// ("/S", "/NORUN", "/D=folder" last and unquoted, as administrators pass
// them to installers). Anything else is refused: a finish run deletes a
// folder, so it is never chosen for a text that is not an outcome.
#pragma once

#include <string>

struct InstallSwitches {
    bool silent = false;     // /S: no window, the descriptor's defaults
    bool noRun = false;      // /NORUN: the product is not started afterwards
    std::string folder;      // /D=: the install folder, empty when not given
};

enum class CommandLineKind { Empty, Outcome, Switches, Invalid };

struct InstallerCommandLine {
    CommandLineKind kind = CommandLineKind::Empty;
    std::string outcome;        // Outcome: the text without surrounding white space
    InstallSwitches switches;   // Switches
    // Invalid: what is wrong, for the log; switches.silent tells whether
    // the line asked for no window all the same.
    std::string problem;
};

// Pure: classifies the text after the program's name.
InstallerCommandLine ReadInstallerCommandLine(const std::string& text);
// The switches as a command line that reads back to them ("/S /NORUN /D=C:\A B").
std::string SwitchesCommandLine(const InstallSwitches& switches);
