// POSIX stand-in of the Uninstall key: one small INI file per entry below
// C:\Registry\, in a folder for each hive. The fault plan's refusal of the
// machine's hive sends an entry to the user's, as missing rights would.
#include "common/uninstall_entry.h"

#include "common/ini_file.h"
#include "framework/fault.h"
#include "framework/file.h"

namespace {
const char kSection[] = "Entry";

std::string EntryFile(bool perMachine, const std::string& key)
{
    return std::string(perMachine ? "C:\\Registry\\HKLM\\" : "C:\\Registry\\HKCU\\") + key + ".ini";
}

void MakeFolders(bool perMachine)
{
    CreateFolder("C:\\Registry").Ignore();
    CreateFolder(perMachine ? "C:\\Registry\\HKLM" : "C:\\Registry\\HKCU").Ignore();
}
}  // namespace

Status WriteUninstallEntry(const std::string& key, const UninstallEntry& entry, bool& perMachine)
{
    perMachine = !FaultRefuses(SysCall::WriteRegistry);
    MakeFolders(perMachine);
    const std::string file = EntryFile(perMachine, key);
    CIniFile ini;
    if (!ini.Load(file, false))
        return Status(StatusCode::Failed, "RegCreateKeyEx", key);
    ini.SetValue(kSection, "DisplayName", entry.displayName);
    ini.SetValue(kSection, "DisplayVersion", entry.displayVersion);
    ini.SetValue(kSection, "Publisher", entry.publisher);
    ini.SetValue(kSection, "InstallLocation", entry.installLocation);
    ini.SetValue(kSection, "UninstallString", entry.uninstallString);
    ini.SetValue(kSection, "QuietUninstallString", entry.quietUninstallString);
    ini.SetValue(kSection, "DisplayIcon", entry.displayIcon);
    ini.SetInt(kSection, "EstimatedSize", static_cast<int>(entry.estimatedSizeKb));
    ini.SetInt(kSection, "NoModify", 1);
    ini.SetInt(kSection, "NoRepair", 1);
    ini.SetValue(kSection, "TessaramondRecord", entry.record);
    if (!ini.Save())
        return Status(StatusCode::Failed, "RegSetValueEx", key);
    return Status();
}

bool ReadUninstallEntry(const std::string& key, UninstallEntry& entry, bool& perMachine)
{
    for (bool machine : {true, false}) {
        CIniFile ini;
        if (!ini.Load(EntryFile(machine, key), false) || !ini.Exists())
            continue;
        perMachine = machine;
        entry.displayName = ini.GetValue(kSection, "DisplayName", "");
        entry.displayVersion = ini.GetValue(kSection, "DisplayVersion", "");
        entry.publisher = ini.GetValue(kSection, "Publisher", "");
        entry.installLocation = ini.GetValue(kSection, "InstallLocation", "");
        entry.uninstallString = ini.GetValue(kSection, "UninstallString", "");
        entry.quietUninstallString = ini.GetValue(kSection, "QuietUninstallString", "");
        entry.displayIcon = ini.GetValue(kSection, "DisplayIcon", "");
        entry.estimatedSizeKb = static_cast<uint32_t>(ini.GetInt(kSection, "EstimatedSize", 0));
        entry.record = ini.GetValue(kSection, "TessaramondRecord", "");
        return true;
    }
    return false;
}

Status DeleteUninstallEntry(const std::string& key, const std::string& record)
{
    Status result(StatusCode::NotFound, "RegOpenKeyEx", key);
    for (bool machine : {true, false}) {
        CIniFile ini;
        const std::string file = EntryFile(machine, key);
        if (!ini.Load(file, false) || !ini.Exists())
            continue;
        if (record.empty() || ini.GetValue(kSection, "TessaramondRecord", "") != record) {
            result = Status(StatusCode::Exists, "the entry is another installation's", key);
            continue;
        }
        return RemoveFile(file);
    }
    return result;
}
