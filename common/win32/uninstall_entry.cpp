// The Uninstall key through the wide registry calls. A 32-bit program on
// 64-bit Windows sees the key of the 32-bit view, which is where the list of
// installed programs looks for 32-bit products.
#include "common/uninstall_entry.h"

#include "framework/fault.h"
#include "framework/win32/wide.h"

#include <windows.h>

#include <vector>

namespace {
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kRecordValue[] = L"TessaramondRecord";

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::wstring KeyPath(const std::string& key) { return kUninstallKey + Widen(key); }

Status RegistryError(LSTATUS error, const char* operation, const std::string& key)
{
    return Status::FromOsError(static_cast<uint32_t>(error), operation, key);
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::string& gbk)
{
    const std::wstring value = Widen(gbk);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetNumber(HKEY key, const wchar_t* name, DWORD number)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// A text value, bounded: the registry is anyone's to write.
std::string GetText(HKEY key, const wchar_t* name)
{
    std::vector<wchar_t> value(2048, L'\0');
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    const std::wstring text(value.data(), wcsnlen(value.data(), bytes / sizeof(wchar_t)));
    return NarrowToGbk(text).value_or(std::string());
}

DWORD GetNumber(HKEY key, const wchar_t* name)
{
    DWORD number = 0, type = 0, bytes = sizeof number;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return number;
}
}  // namespace

Status WriteUninstallEntry(const std::string& key, const UninstallEntry& entry, bool& perMachine)
{
    const std::wstring path = KeyPath(key);
    CRegKey opened;
    LSTATUS error = ERROR_ACCESS_DENIED;
    // The machine's list when the installation may write there (it runs
    // with an administrator's rights), otherwise the user's own.
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (hive == HKEY_LOCAL_MACHINE && FaultRefuses(SysCall::WriteRegistry))
            continue;
        error = RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.Receive(), nullptr);
        if (error == ERROR_SUCCESS) {
            perMachine = hive == HKEY_LOCAL_MACHINE;
            break;
        }
    }
    if (error != ERROR_SUCCESS)
        return RegistryError(error, "RegCreateKeyEx", key);
    const struct {
        const wchar_t* name;
        const std::string& value;
    } texts[] = {{L"DisplayName", entry.displayName},
                 {L"DisplayVersion", entry.displayVersion},
                 {L"Publisher", entry.publisher},
                 {L"InstallLocation", entry.installLocation},
                 {L"UninstallString", entry.uninstallString},
                 {L"QuietUninstallString", entry.quietUninstallString},
                 {L"DisplayIcon", entry.displayIcon},
                 {kRecordValue, entry.record}};
    for (const auto& text : texts) {
        if ((error = SetText(opened.Get(), text.name, text.value)) != ERROR_SUCCESS)
            return RegistryError(error, "RegSetValueEx", key);
    }
    for (const auto& [name, number] : {std::pair{L"EstimatedSize", entry.estimatedSizeKb}, std::pair{L"NoModify", 1u},
                                       std::pair{L"NoRepair", 1u}}) {
        if ((error = SetNumber(opened.Get(), name, number)) != ERROR_SUCCESS)
            return RegistryError(error, "RegSetValueEx", key);
    }
    return Status();
}

bool ReadUninstallEntry(const std::string& key, UninstallEntry& entry, bool& perMachine)
{
    const std::wstring path = KeyPath(key);
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CRegKey opened;
        if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_QUERY_VALUE, opened.Receive()) != ERROR_SUCCESS)
            continue;
        perMachine = hive == HKEY_LOCAL_MACHINE;
        entry.displayName = GetText(opened.Get(), L"DisplayName");
        entry.displayVersion = GetText(opened.Get(), L"DisplayVersion");
        entry.publisher = GetText(opened.Get(), L"Publisher");
        entry.installLocation = GetText(opened.Get(), L"InstallLocation");
        entry.uninstallString = GetText(opened.Get(), L"UninstallString");
        entry.quietUninstallString = GetText(opened.Get(), L"QuietUninstallString");
        entry.displayIcon = GetText(opened.Get(), L"DisplayIcon");
        entry.estimatedSizeKb = GetNumber(opened.Get(), L"EstimatedSize");
        entry.record = GetText(opened.Get(), kRecordValue);
        return true;
    }
    return false;
}

Status DeleteUninstallEntry(const std::string& key, const std::string& record)
{
    const std::wstring path = KeyPath(key);
    Status result(StatusCode::NotFound, "RegOpenKeyEx", key);
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        {
            CRegKey opened;
            if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_QUERY_VALUE, opened.Receive()) != ERROR_SUCCESS)
                continue;
            if (record.empty() || GetText(opened.Get(), kRecordValue) != record) {
                result = Status(StatusCode::Exists, "the entry is another installation's", key);
                continue;
            }
        }
        const LSTATUS error = RegDeleteKeyW(hive, path.c_str());
        return error == ERROR_SUCCESS ? Status() : RegistryError(error, "RegDeleteKey", key);
    }
    return result;
}
