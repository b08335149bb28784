// The builder's review of a setup descriptor: any text. Findings stay within
// the text's lines; and whatever the review passes without an error, the
// installer loads with every shortcut entry the author counted, every path
// inside its folder and no text that would break its outcome command line.
#include "common/ini_file.h"
#include "common/scramble.h"
#include "framework/strings.h"
#include "fuzz_support.h"
#include "installer/setup/setup_info.h"
#include "tools/pack/descriptor.h"
#include "tools/pack/descriptor_check.h"
#include "tools/pack/pack_error.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<DescriptorFinding> findings = CheckDescriptor(text, {}, false, false);
    const auto lines = static_cast<unsigned>(std::count(text.begin(), text.end(), '\n') + 1);
    for (const DescriptorFinding& f : findings)
        FUZZ_CHECK(f.line <= lines && !f.message.empty());
    if (HasErrors(findings))
        return 0;

    // Passed: the builder must be able to prepare it, and the installer
    // must read it as the author wrote it.
    // The system-library flag the builder writes is the one the installer reads.
    const std::string path = FuzzFolder() + "install.tmd";
    for (bool withSystemDll : {true, false}) {
        std::string prepared;
        try {
            prepared = PrepareDescriptor(text, withSystemDll, "fuzz.ini");
        } catch (const CPackFailure&) {
            FUZZ_CHECK(!"a descriptor the review passed could not be prepared");
        }
        ScrambleBytes(prepared);
        FUZZ_CHECK(WriteFuzzFile(path, prepared));
        CSetupInfo flagged;
        FUZZ_CHECK(flagged.LoadDescriptorFrom(path));
        FUZZ_CHECK(flagged.m_bSystemDll == (withSystemDll ? 1 : 0));
    }
    CSetupInfo info;
    FUZZ_CHECK(info.LoadDescriptorFrom(path));
    CIniFile plain;
    FUZZ_CHECK(plain.Load(path, true));

    FUZZ_CHECK(!info.m_strProductName.empty());
    FUZZ_CHECK(!info.m_strFolder.empty() && info.m_strFolder.back() == '\\' && info.m_strFolder[0] != '\\');
    for (const std::string* value : {&info.m_strProductName, &info.m_strFolder, &info.m_strRunProgram})
        FUZZ_CHECK(MbFind(*value, '|') == npos);
    const int startCount = plain.GetInt("StartMenu", "linknum", 0);
    const int desktopCount = plain.GetInt("Desktop", "linknum", 0);
    FUZZ_CHECK(static_cast<int>(info.m_arrStartLinks.size()) == startCount);
    FUZZ_CHECK(static_cast<int>(info.m_arrDesktopLinks.size()) == desktopCount);
    for (const std::string& link : info.m_arrDesktopLinks)
        FUZZ_CHECK(!link.empty() && link[0] == '\\');
    // Start-menu links too: a group folder of two levels has no backslash of its own.
    for (const std::string& link : info.m_arrStartLinks)
        FUZZ_CHECK(!link.empty() && link[0] == '\\');
    return 0;
}
