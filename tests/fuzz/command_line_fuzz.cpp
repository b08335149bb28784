// The outcome command line "outcome|temp folder|product|run|folder|program|".
#include "fuzz_support.h"
#include "framework/strings.h"
#include "installer/core/startup.h"
#include "installer/setup/setup_info.h"
#include "installer/setup/split_string.h"

#include <vector>

namespace {
// A field the text can carry: no separator as a whole character, and not
// ending in a lead byte, which would take the separator after it as its
// trail byte.
std::string FieldText(CFuzzInput& input)
{
    std::string text = input.Text(40);
    for (char& c : text)
        if (c == '|')
            c = '!';
    if (!text.empty() && IsLeadByte(static_cast<unsigned char>(text.back())))
        text.back() = 'x';
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string raw(reinterpret_cast<const char*>(data), size);
    // Any text: every field is separator-free and no longer than the text.
    CSplitString split(raw, '|');
    FUZZ_CHECK(split.FieldCount() >= 0 && static_cast<size_t>(split.FieldCount()) <= size);
    size_t total = 0;
    for (int i = -1; i <= split.FieldCount(); ++i) {
        const std::string field = split.GetField(i);
        FUZZ_CHECK(MbFind(field, '|') == npos);
        total += field.size();
    }
    FUZZ_CHECK(total + static_cast<size_t>(split.FieldCount()) <= size + 1);
    CSetupInfo parsed;
    parsed.ParseCommandLine(raw);
    FUZZ_CHECK(parsed.m_strTempDir == split.GetField(1) && parsed.m_strProductName == split.GetField(2));
    // Only a text shaped as an outcome starts a finish run; switches read
    // back from what the shipped installer passes on.
    const InstallerCommandLine line = ReadInstallerCommandLine(raw);
    const InstallerRole role = ChooseRole(line, "Z:\\nonexistent\\setup.exe");
    FUZZ_CHECK(role == (line.kind == CommandLineKind::Outcome   ? InstallerRole::Finish
                        : line.kind == CommandLineKind::Invalid ? InstallerRole::BadCommandLine
                                                                : InstallerRole::BadPackage));
    if (line.kind == CommandLineKind::Outcome)
        FUZZ_CHECK(line.outcome.back() == '|' && line.outcome.front() >= '0' && line.outcome.front() <= '9');
    if (line.kind == CommandLineKind::Switches) {
        const InstallerCommandLine passed = ReadInstallerCommandLine(SwitchesCommandLine(line.switches));
        FUZZ_CHECK(passed.kind == CommandLineKind::Switches && passed.switches.silent == line.switches.silent &&
                   passed.switches.noRun == line.switches.noRun && passed.switches.folder == line.switches.folder);
    }

    // Fields joined as the installer writes them come back one for one.
    CFuzzInput input(data, size);
    std::vector<std::string> fields;
    const size_t count = input.Byte() % 8 + 1;
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        fields.push_back(FieldText(input));
        text += fields.back() + "|";
    }
    if (input.Byte() & 1)
        text.pop_back();  // the last separator may be left off
    CSplitString joined(text, '|');
    if (text.find('|') == std::string::npos) {
        FUZZ_CHECK(joined.FieldCount() == 0);
        return 0;
    }
    FUZZ_CHECK(joined.FieldCount() == static_cast<int>(count) ||
               (fields.back().empty() && joined.FieldCount() == static_cast<int>(count) - 1 && text.back() == '|'));
    for (int i = 0; i < joined.FieldCount(); ++i)
        FUZZ_CHECK(joined.GetField(i) == fields[static_cast<size_t>(i)]);
    CSetupInfo info;
    info.ParseCommandLine(text);
    FUZZ_CHECK(info.m_nOutcome == ToInt(fields[0]));
    if (info.m_nOutcome == kOutcomeCompleted && count >= 6)
        FUZZ_CHECK(info.m_strInstallDir == fields[4] && info.m_strRunProgram == fields[5]);
    return 0;
}
