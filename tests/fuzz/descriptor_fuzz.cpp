// The setup descriptor: any text, scrambled as it lies on disk, through the
// loader, and through the two keys the self-extraction writes back.
#include "common/ini_file.h"
#include "common/scramble.h"
#include "fuzz_support.h"
#include "installer/setup/setup_info.h"

#include <algorithm>

namespace {
void CheckLists(const CSetupInfo& info, size_t lineLimit)
{
    FUZZ_CHECK(info.m_arrGroups.size() == info.m_arrStartPrograms.size());
    FUZZ_CHECK(info.m_arrGroups.size() == info.m_arrStartLinks.size());
    FUZZ_CHECK(info.m_arrDesktopPrograms.size() == info.m_arrDesktopLinks.size());
    FUZZ_CHECK(info.m_arrGroups.size() <= lineLimit && info.m_arrDesktopLinks.size() <= lineLimit);
    for (size_t i = 0; i < info.m_arrGroups.size(); ++i)
        FUZZ_CHECK(!info.m_arrGroups[i].empty() && !info.m_arrStartPrograms[i].empty() &&
                   !info.m_arrStartLinks[i].empty());
    for (size_t i = 0; i < info.m_arrDesktopLinks.size(); ++i)
        FUZZ_CHECK(!info.m_arrDesktopPrograms[i].empty() && !info.m_arrDesktopLinks[i].empty());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = FuzzFolder() + "install.tmd";
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ScrambleBytes(bytes);
    FUZZ_CHECK(WriteFuzzFile(path, bytes));

    CSetupInfo info;
    const bool loaded = info.LoadDescriptorFrom(path);
    FUZZ_CHECK(loaded == (size > 0));
    if (!loaded)
        return 0;
    // Every list entry needs a line of its own.
    CheckLists(info, size + 1);
    FUZZ_CHECK(info.m_strInstallDir == info.m_strProgramFilesDir + info.m_strFolder);

    // Whether a list count was cut to the document's line count: the update
    // adds lines, so a cut list may then show more of its entries.
    CIniFile plain;
    FUZZ_CHECK(plain.Load(path, true));
    const bool cut = plain.GetInt("StartMenu", "linknum", 0) > static_cast<int>(plain.LineCount()) ||
                     plain.GetInt("Desktop", "linknum", 0) > static_cast<int>(plain.LineCount());

    // The self-extraction's update changes those two keys and nothing else
    // the installer reads.
    info.m_strSourceExe = "Z:\\media\\setup.exe";
    info.m_nDataSize = static_cast<int64_t>(size) * 977;
    FUZZ_CHECK(info.UpdateDescriptor(path));
    CSetupInfo again;
    FUZZ_CHECK(again.LoadDescriptorFrom(path));
    FUZZ_CHECK(again.m_strSourceExe == info.m_strSourceExe);
    FUZZ_CHECK(again.m_nDataSize == info.m_nDataSize);
    FUZZ_CHECK(again.m_strCompanyName == info.m_strCompanyName && again.m_strProductName == info.m_strProductName &&
               again.m_strProductVersion == info.m_strProductVersion && again.m_strFolder == info.m_strFolder &&
               again.m_bFolderSel == info.m_bFolderSel && again.m_strRunProgram == info.m_strRunProgram &&
               again.m_bSystemDll == info.m_bSystemDll);
    CheckLists(again, size + 5);
    const auto same = [cut](const std::vector<std::string>& before, const std::vector<std::string>& after) {
        return cut ? after.size() >= before.size() && std::equal(before.begin(), before.end(), after.begin())
                   : after == before;
    };
    FUZZ_CHECK(same(info.m_arrGroups, again.m_arrGroups) && same(info.m_arrStartPrograms, again.m_arrStartPrograms) &&
               same(info.m_arrStartLinks, again.m_arrStartLinks) &&
               same(info.m_arrDesktopPrograms, again.m_arrDesktopPrograms) &&
               same(info.m_arrDesktopLinks, again.m_arrDesktopLinks));
    return 0;
}
