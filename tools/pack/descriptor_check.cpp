#include "tools/pack/descriptor_check.h"

#include "common/ini_file.h"
#include "framework/strings.h"
#include "common/path_rules.h"
#include "format/descriptor_schema.h"
#include "installer/setup/split_string.h"
#include "tools/pack/gbk.h"

#include <algorithm>
#include <array>
#include <optional>
#include <sstream>

namespace schema = descriptor_schema;

namespace {
// Entries beyond this many per section are refused: nobody ships a thousand
// shortcuts, and a typo in linknum should not turn into a wall of messages.
constexpr long kMaxLinks = 1000;

struct KeyLine {
    unsigned line;
    std::string key;    // GBK
    std::string value;  // GBK, as the installer reads it
};

// A run of lines starting at a "[" line (the first run may have none).
struct Block {
    unsigned line = 0;    // of the "[" line; 0 for the lines before the first one
    bool header = false;  // a well-formed "[name]"
    std::string name;
    std::vector<KeyLine> keys;
};

std::string Show(const std::string& gbk)
{
    std::string utf8;
    return GbkToUtf8(gbk, utf8) ? utf8 : gbk;
}

std::string Quote(const std::string& gbk) { return std::string("\"") + Show(gbk) + "\""; }

// The section name of a header line: trimmed, cut at "//", "[" ... "]".
bool HeaderName(const std::string& line, std::string& name)
{
    std::string t = line;
    const size_t comment = MbFind(t, "//");
    if (comment != npos)
        t.erase(comment);
    t = Trim(t);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    name = t.substr(1, t.size() - 2);
    return CIniFile::MatchSection(line, name) == 2;
}

bool ParseDecimal(const std::string& text, long& out)
{
    if (text.empty() || text.size() > 10)
        return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9')
            return false;
    out = std::stol(text);
    return true;
}

// "group_12" -> ("group_", 12); the installer forms these names with "%d",
// so "group_01" is no entry of it.
bool SplitNumbered(const std::string& key, std::string& prefix, long& index)
{
    const size_t underscore = key.rfind('_');
    if (underscore == std::string::npos || underscore + 1 == key.size())
        return false;
    const std::string digits = key.substr(underscore + 1);
    if ((digits.size() > 1 && digits[0] == '0') || digits[0] == '-' || !ParseDecimal(digits, index))
        return false;
    prefix = key.substr(0, underscore + 1);
    return true;
}

struct SectionRules {
    const char* name;
    std::vector<const char*> keys;      // plain keys
    std::vector<const char*> numbered;  // prefixes of "%d" keys
};

const std::array<SectionRules, 5>& Rules()
{
    static const std::array<SectionRules, 5> rules = {{
        {schema::kSoftInfo, {schema::kCompanyName, schema::kProductName, schema::kProductVersion}, {}},
        {schema::kInstallInfo, {schema::kFolder, schema::kFolderSel, schema::kExeFile, schema::kInstallExe, schema::kFileLen,
                                schema::kUninstallEntry}, {}},
        {schema::kStartMenu, {schema::kLinkNum}, {schema::kGroupPrefix, schema::kExeFilePrefix, schema::kLinkNamePrefix}},
        {schema::kDesktop, {schema::kLinkNum}, {schema::kExeFilePrefix, schema::kLinkNamePrefix}},
        {schema::kSystemDll, {schema::kCkDll}, {}},
    }};
    return rules;
}

class CReview {
public:
    CReview(const InstalledNames& installed, bool checkTargets, bool withSystemDll)
        : m_installed(installed), m_checkTargets(checkTargets), m_withSystemDll(withSystemDll)
    {
    }

    std::vector<DescriptorFinding> Run(const std::string& utf8Text)
    {
        Read(utf8Text);
        ReviewLayout();
        ReviewSoftInfo();
        ReviewInstallInfo();
        ReviewLinks(schema::kStartMenu, true);
        ReviewLinks(schema::kDesktop, false);
        if (auto ckdll = Get(schema::kSystemDll, schema::kCkDll); ckdll && ckdll->value != (m_withSystemDll ? "1" : "0"))
            Warn(ckdll->line, std::string("ckdll is set by the builder: ") +
                                  (m_withSystemDll ? "1, as --dll is given" : "0, as no --dll folder is given"));
        std::stable_sort(m_findings.begin(), m_findings.end(),
                         [](const DescriptorFinding& a, const DescriptorFinding& b) { return a.line < b.line; });
        return std::move(m_findings);
    }

private:
    void Error(unsigned line, std::string message) { m_findings.push_back({true, line, std::move(message)}); }
    void Warn(unsigned line, std::string message) { m_findings.push_back({false, line, std::move(message)}); }

    void Read(const std::string& utf8Text)
    {
        std::string text = utf8Text;
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);
        std::istringstream in(text);
        m_blocks.emplace_back();
        unsigned number = 0;
        for (std::string raw; std::getline(in, raw);) {
            ++number;
            if (!raw.empty() && raw.back() == '\r')
                raw.pop_back();
            const auto control = std::find_if(raw.begin(), raw.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 && c != '\t';
            });
            if (control != raw.end()) {
                // The installer reads its lines as C text: a zero byte cuts
                // a line short, and other control bytes are no text at all.
                Error(number, Format("a control character (byte 0x%02X); the line is not checked",
                                     static_cast<unsigned>(static_cast<unsigned char>(*control))));
                continue;
            }
            std::string line;
            if (!Utf8ToGbk(raw, line)) {
                Error(number, "characters that GBK cannot hold (the installer reads GBK text); the line is not checked");
                continue;
            }
            if (CIniFile::MatchKey(line, "") == 1) {  // begins with "["
                Block block;
                block.line = number;
                block.header = HeaderName(line, block.name);
                if (!block.header)
                    Warn(number, "a line beginning with \"[\" that is no section header ends the section before it");
                m_blocks.push_back(std::move(block));
                continue;
            }
            const size_t eq = MbFind(line, '=');
            if (eq == npos) {
                const std::string t = Trim(line);
                if (!t.empty() && t.compare(0, 2, "//") != 0 && t[0] != ';' && t[0] != '#')
                    Warn(number, "a line without \"=\" is ignored");
                continue;
            }
            KeyLine key{number, Trim(line.substr(0, eq)), ""};
            CIniFile::MatchKey(line, key.key, &key.value);
            m_blocks.back().keys.push_back(std::move(key));
        }
    }

    const Block* FindSection(const std::string& name) const
    {
        for (const Block& block : m_blocks)
            if (block.header && block.name == name)
                return &block;
        return nullptr;
    }

    // What the installer reads: the first key of the name in the block of
    // the section's first header.
    std::optional<KeyLine> Get(const std::string& section, const std::string& key) const
    {
        const Block* block = FindSection(section);
        if (block == nullptr)
            return std::nullopt;
        for (const KeyLine& k : block->keys)
            if (k.key == key)
                return k;
        return std::nullopt;
    }

    static const SectionRules* RulesOf(const std::string& name)
    {
        for (const SectionRules& rules : Rules())
            if (name == rules.name)
                return &rules;
        return nullptr;
    }

    static bool IsKnownKey(const SectionRules& rules, const std::string& key)
    {
        for (const char* k : rules.keys)
            if (key == k)
                return true;
        std::string prefix;
        long index = 0;
        if (!SplitNumbered(key, prefix, index))
            return false;
        for (const char* p : rules.numbered)
            if (prefix == p)
                return true;
        return false;
    }

    // Sections and keys the installer never reads, and the second of a pair.
    void ReviewLayout()
    {
        for (const KeyLine& k : m_blocks.front().keys)
            Warn(k.line, std::string("key ") + Quote(k.key) + " comes before any section and is not read");
        std::vector<std::string> seen;
        for (size_t b = 1; b < m_blocks.size(); ++b) {
            const Block& block = m_blocks[b];
            if (!block.header)
                continue;
            const SectionRules* rules = RulesOf(block.name);
            if (rules == nullptr) {
                std::string hint;
                for (const SectionRules& r : Rules())
                    if (MbLowerAscii(block.name) == MbLowerAscii(r.name))
                        hint = std::string(" (names are case-sensitive: write [") + r.name + "])";
                if (hint.empty())
                    Warn(block.line, std::string("section [") + Show(block.name) + "] is not read by the installer");
                else
                    Error(block.line, std::string("section [") + Show(block.name) + "] is not read by the installer" + hint);
                continue;
            }
            if (std::find(seen.begin(), seen.end(), block.name) != seen.end()) {
                Error(block.line, "a second [" + block.name + "] section: the installer reads only the first one");
                continue;
            }
            seen.push_back(block.name);
            std::vector<std::string> keys;
            for (const KeyLine& k : block.keys) {
                if (std::find(keys.begin(), keys.end(), k.key) != keys.end()) {
                    Warn(k.line, Show(k.key) + " is given twice in [" + block.name + "]: this one is not read");
                    continue;
                }
                keys.push_back(k.key);
                if (IsKnownKey(*rules, k.key))
                    continue;
                if (IsKnownKey(*rules, MbLowerAscii(k.key)))
                    Error(k.line, std::string("key ") + Quote(k.key) + " is not read (keys are case-sensitive: write " +
                                      MbLowerAscii(k.key) + ")");
                else
                    Warn(k.line, std::string("key ") + Quote(k.key) + " is not read by the installer in [" + block.name + "]");
            }
        }
    }

    // Texts that travel in the outcome command line, whose fields are
    // separated by "|" with no escaping.
    void RefuseBar(const KeyLine& k)
    {
        if (MbFind(k.value, '|') != npos)
            Error(k.line, k.key + " contains \"|\", which separates the fields of the installer's outcome command line");
    }

    void ReviewSoftInfo()
    {
        const auto product = Get(schema::kSoftInfo, schema::kProductName);
        if (!product || product->value.empty())
            Error(product ? product->line : 0, "[SoftInfo] productname is missing: every page and the "
                                               "uninstaller would show an empty product name");
        else
            RefuseBar(*product);
        for (const char* name : {schema::kCompanyName, schema::kProductVersion})
            if (auto k = Get(schema::kSoftInfo, name))
                RefuseBar(*k);
    }

    // A program path relative to the install folder that the package holds.
    void ReviewTarget(const KeyLine& k)
    {
        if (k.value.empty())
            return;
        if (k.value[0] == '\\') {
            Error(k.line, k.key + std::string(" ") + Quote(k.value) + " must not begin with a backslash: it is joined to the "
                                                          "install folder, which ends with one");
            return;
        }
        if (!IsSafeRelativePath(k.value)) {
            Error(k.line, k.key + std::string(" ") + Quote(k.value) + " is not a path inside the install folder");
            return;
        }
        if (m_checkTargets && m_installed.count(FoldInstalledName(k.value)) == 0)
            Error(k.line, k.key + std::string(" ") + Quote(k.value) + " is not in the product folder (nor the --dll folder)");
    }

    void ReviewInstallInfo()
    {
        const auto folder = Get(schema::kInstallInfo, schema::kFolder);
        if (!folder) {
            const auto company = Get(schema::kSoftInfo, schema::kCompanyName);
            if (!company || company->value.empty())
                Error(0, "[InstallInfo] folder is missing, and so is companyname, its default: the product would be "
                         "installed into the Program Files folder itself");
            else
                Error(company->line, "[InstallInfo] folder is missing: the installer would use companyname " +
                                         Quote(company->value) + " without a trailing backslash; write folder=" +
                                         Show(company->value) + "\\");
        } else if (folder->value.empty() || folder->value == "\\") {
            Error(folder->line, "folder is empty: the product would be installed into the Program Files folder itself");
        } else {
            RefuseBar(*folder);
            const std::string& v = folder->value;
            if (v.back() != '\\')
                Error(folder->line, std::string("folder ") + Quote(v) + " must end with a backslash: the installer joins the "
                                                           "program paths to it directly (write " +
                                        Show(v) + "\\)");
            else if (!IsSafeRelativeFolder(v))
                Error(folder->line, std::string("folder ") + Quote(v) + " must be a path below the Program Files folder "
                                                           "(no drive, no leading backslash, no \"..\")");
        }
        if (auto sel = Get(schema::kInstallInfo, schema::kFolderSel)) {
            long n = 0;
            if (!ParseDecimal(sel->value, n))
                Error(sel->line, std::string("bfoldersel ") + Quote(sel->value) + " is not a number (0 or 1)");
            else if (n != 0 && n != 1)
                Warn(sel->line, "bfoldersel is 0 (folder fixed) or 1 (the user may choose another); other values mean 1");
        }
        if (auto entry = Get(schema::kInstallInfo, schema::kUninstallEntry); entry && entry->value != "0" && entry->value != "1")
            Error(entry->line, std::string("uninstallentry ") + Quote(entry->value) +
                                   " must be 1 (list the product among the installed programs, the default) or 0 (do not)");
        const auto exe = Get(schema::kInstallInfo, schema::kExeFile);
        if (!exe || exe->value.empty()) {
            Warn(exe ? exe->line : 0, "[InstallInfo] exefile is missing: the finish page cannot start the product, "
                                      "and uninstall.exe is placed in the install folder itself");
        } else {
            RefuseBar(*exe);
            ReviewTarget(*exe);
        }
        for (const char* name : {schema::kInstallExe, schema::kFileLen})
            if (auto k = Get(schema::kInstallInfo, name))
                Warn(k->line, std::string(name) + " is written by the installer itself; this value is replaced");
    }

    void ReviewGroup(const KeyLine& k)
    {
        if (MbFind(k.value, '|') == npos) {
            Warn(k.line, k.key + std::string(" ") + Quote(k.value) + " has no \"|\": the shortcut goes directly into the "
                                                         "Programs folder (write Name| for a group)");
            return;
        }
        const CSplitString fields(k.value, '|');
        if (fields.FieldCount() > 2)
            Warn(k.line, k.key + std::string(" ") + Quote(k.value) + " has more than two names: only the first two are used");
        for (int i = 0; i < std::min(fields.FieldCount(), 2); ++i) {
            const std::string name = fields.GetField(i);
            if (i == 1 && name.empty())
                continue;  // "A||": the same as "A|"
            if (!IsSafeName(name))
                Error(k.line, k.key + std::string(" ") + Quote(k.value) + ": " + (name.empty() ? "an empty group name" : Quote(name) + " is no folder name"));
        }
    }

    void ReviewLink(const KeyLine& k, bool desktop)
    {
        // The installer joins a link name directly onto its folder. A
        // program group's folder ends with a backslash only for a group of
        // one level, so a name without its own would make a misnamed
        // shortcut beside a two-level group; the desktop folder has none.
        if (k.value.empty() || k.value[0] != '\\')
            Error(k.line, k.key + std::string(" ") + Quote(k.value) + " must begin with a backslash: it is joined to the " +
                              (desktop ? "desktop folder" : "program group's folder") +
                              " without a separator (write \\" + Show(k.value) + ")");
        if (!IsSafeLinkName(k.value, false)) {
            Error(k.line, k.key + std::string(" ") + Quote(k.value) +
                              " is not a file name (one name, no \\ / : * ? \" < > |, no device name, not ending in a dot or blank)");
            return;
        }
        const std::string name = k.value[0] == '\\' ? k.value.substr(1) : k.value;
        if (name.size() < 4 || MbLowerAscii(name.substr(name.size() - 4)) != ".lnk")
            Warn(k.line, k.key + std::string(" ") + Quote(k.value) + " does not end with .lnk: Windows would not treat it as a shortcut");
    }

    void ReviewLinks(const std::string& section, bool startMenu)
    {
        const Block* block = FindSection(section);
        if (block == nullptr)
            return;
        const std::vector<std::string> members =
            startMenu ? std::vector<std::string>{schema::kGroupPrefix, schema::kExeFilePrefix, schema::kLinkNamePrefix}
                      : std::vector<std::string>{schema::kExeFilePrefix, schema::kLinkNamePrefix};
        long highest = -1;  // highest entry number given
        for (const KeyLine& k : block->keys) {
            std::string prefix;
            long index = 0;
            if (SplitNumbered(k.key, prefix, index) && std::find(members.begin(), members.end(), prefix) != members.end())
                highest = std::max(highest, index);
        }
        const auto linknum = Get(section, schema::kLinkNum);
        long count = 0;
        if (!linknum) {
            if (highest >= 0)
                Error(block->line, "[" + section + "] has entries but no linknum: none of them is created");
            return;
        }
        if (!ParseDecimal(linknum->value, count) || count < 0) {
            Error(linknum->line, std::string("linknum ") + Quote(linknum->value) + " is not a count (0 or more)");
            return;
        }
        if (count > kMaxLinks) {
            Error(linknum->line, std::string("linknum ") + Quote(linknum->value) + std::string(" is more than ") + std::to_string(kMaxLinks));
            return;
        }
        if (count > highest + 1)
            Error(linknum->line, std::string("linknum is ") + std::to_string(count) + " but entries stop at " +
                                     (highest < 0 ? std::string("none") : std::string("number ") + std::to_string(highest)) +
                                     ": the missing ones are skipped");
        for (const KeyLine& k : block->keys) {
            std::string prefix;
            long index = 0;
            if (SplitNumbered(k.key, prefix, index) && index >= count &&
                std::find(members.begin(), members.end(), prefix) != members.end())
                Warn(k.line, k.key + std::string(" is not read: linknum is ") + std::to_string(count));
        }
        for (long i = 0; i < std::min(count, highest + 1); ++i) {
            std::vector<std::string> missing;
            std::vector<KeyLine> given;
            for (const std::string& member : members) {
                const auto k = Get(section, member + std::to_string(i));
                if (!k || k->value.empty())
                    missing.push_back(member + std::to_string(i));
                else
                    given.push_back(*k);
            }
            if (!missing.empty()) {
                std::string list;
                for (const std::string& m : missing)
                    list += (list.empty() ? "" : ", ") + m;
                Error(given.empty() ? linknum->line : given.front().line,
                      "[" + section + std::string("] entry ") + std::to_string(i) + " has no " + list +
                          ": the installer skips the whole entry");
                continue;
            }
            for (const KeyLine& k : given) {
                if (k.key.rfind(schema::kGroupPrefix, 0) == 0)
                    ReviewGroup(k);
                else if (k.key.rfind(schema::kExeFilePrefix, 0) == 0)
                    ReviewTarget(k);
                else
                    ReviewLink(k, !startMenu);
            }
        }
    }

    const InstalledNames& m_installed;
    bool m_checkTargets;
    bool m_withSystemDll;
    std::vector<Block> m_blocks;
    std::vector<DescriptorFinding> m_findings;
};
}  // namespace

std::string FoldInstalledName(const std::string& gbkPath) { return MbLowerAscii(gbkPath); }

std::vector<DescriptorFinding> CheckDescriptor(const std::string& utf8Text, const InstalledNames& installed,
                                               bool checkTargets, bool withSystemDll)
{
    return CReview(installed, checkTargets, withSystemDll).Run(utf8Text);
}

bool HasErrors(const std::vector<DescriptorFinding>& findings)
{
    return std::any_of(findings.begin(), findings.end(), [](const DescriptorFinding& f) { return f.error; });
}

std::string FormatFindings(const std::vector<DescriptorFinding>& findings, const std::string& fileName)
{
    std::string out;
    for (const DescriptorFinding& f : findings) {
        out += fileName;
        if (f.line != 0)
            out += std::string(":") + std::to_string(f.line);
        out += f.error ? ": error: " : ": warning: ";
        out += f.message + "\n";
    }
    return out;
}
