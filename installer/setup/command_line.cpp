#include "installer/setup/command_line.h"

#include "framework/strings.h"

namespace {
const char kBlanks[] = " \t\r\n";

bool IsOutcome(const std::string& text)
{
    return !text.empty() && text.front() >= '0' && text.front() <= '9' && text.back() == '|';
}

// The command line holds what anyone may type; a folder longer than any the
// installation could use is refused rather than carried along.
constexpr size_t kMaxCommandLine = 32767;

// Whether a refused line asked for silence anywhere: then no message box
// waits for a click on a machine nobody watches.
bool AsksForSilence(const std::string& text)
{
    for (size_t at = 0;;) {
        const size_t start = text.find_first_not_of(kBlanks, at);
        if (start == std::string::npos)
            return false;
        at = text.find_first_of(kBlanks, start);
        if (MbLowerAscii(text.substr(start, at == std::string::npos ? std::string::npos : at - start)) == "/s")
            return true;
        if (at == std::string::npos)
            return false;
    }
}

InstallerCommandLine Refused(const std::string& text, std::string problem)
{
    InstallerCommandLine line;
    line.kind = CommandLineKind::Invalid;
    line.problem = std::move(problem);
    line.switches.silent = AsksForSilence(text);
    return line;
}
}  // namespace

InstallerCommandLine ReadInstallerCommandLine(const std::string& raw)
{
    if (raw.size() > kMaxCommandLine)
        return Refused(std::string(), "the command line is too long");
    InstallerCommandLine line;
    const std::string text = Trim(raw);
    if (text.empty())
        return line;
    if (IsOutcome(text)) {
        line.kind = CommandLineKind::Outcome;
        line.outcome = text;
        return line;
    }
    if (text.front() != '/')
        return Refused(text, "\"" + text + "\" is neither a switch nor an outcome");
    // Switches are separated by blanks; "/D=" takes the rest of the line as
    // it stands, blanks included, so it comes last. Neither a blank nor "/"
    // is ever the second byte of a GBK character.
    for (size_t at = text.find_first_not_of(kBlanks); at != std::string::npos; at = text.find_first_not_of(kBlanks, at)) {
        size_t end = text.find_first_of(kBlanks, at);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(at, end - at);
        const std::string lower = MbLowerAscii(word);
        if (lower.compare(0, 3, "/d=") == 0) {
            line.switches.folder = text.substr(at + 3);
            if (line.switches.folder.empty())
                return Refused(text, "/D= names no folder");
            break;
        }
        if (lower == "/s")
            line.switches.silent = true;
        else if (lower == "/norun")
            line.switches.noRun = true;
        else
            return Refused(text, "unknown switch \"" + word + "\"");
        at = end;
    }
    line.kind = CommandLineKind::Switches;
    return line;
}

std::string SwitchesCommandLine(const InstallSwitches& switches)
{
    std::string text;
    auto add = [&text](const std::string& word) { text += (text.empty() ? "" : " ") + word; };
    if (switches.silent)
        add("/S");
    if (switches.noRun)
        add("/NORUN");
    if (!switches.folder.empty())
        add("/D=" + switches.folder);
    return text;
}
