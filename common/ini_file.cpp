#include "common/ini_file.h"

#include "common/scramble.h"
#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"

#include <vector>

namespace {
// Key of a body line as MatchKey sees it; false for a line that is blank.
bool ParseKey(const std::string& line, std::string& key)
{
    const std::string t = Trim(line);
    if (t.empty())
        return false;
    const size_t eq = MbFind(t, '=');
    key = eq == npos ? std::string() : Trim(t.substr(0, eq));
    return true;
}

bool StartsBlock(const std::string& line)
{
    const std::string t = TrimLeft(line);
    return !t.empty() && t[0] == '[';
}

// Name of the section a line heads, if it is a well-formed header.
bool ParseHeader(const std::string& line, std::string& name)
{
    std::string t = Trim(line);
    const size_t comment = MbFind(t, std::string("//"));
    if (comment != npos)
        t.resize(comment);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    name = t.substr(1, t.size() - 2);
    return true;
}
}  // namespace

int CIniFile::MatchSection(const std::string& line, const std::string& name)
{
    std::string t = Trim(line);
    const size_t comment = MbFind(t, std::string("//"));
    if (comment != npos)
        t.resize(comment);
    if (t.empty())
        return 0;
    std::string header;
    return ParseHeader(line, header) && header == name ? 2 : 3;
}

int CIniFile::MatchKey(const std::string& line, const std::string& key, std::string* value)
{
    const std::string t = Trim(line);
    if (t.empty())
        return 0;
    if (t[0] == '[')
        return 1;
    const size_t eq = MbFind(t, '=');
    const std::string part = eq == npos ? std::string() : Trim(t.substr(0, eq));
    if (part != key)
        return 3;
    if (value)
        *value = eq == npos ? t : t.substr(eq + 1);
    return 2;
}

void CIniFile::Clear()
{
    m_blocks.clear();
    m_headers.clear();
    m_nLines = 0;
}

void CIniFile::StartBlock(const std::string& line)
{
    Block block;
    block.hasStart = true;
    block.start = line;
    std::string name;
    if (ParseHeader(line, name))
        m_headers.emplace(name, m_blocks.size());  // the first header of a name wins
    m_blocks.push_back(std::move(block));
    ++m_nLines;
}

void CIniFile::AppendToBody(Block& block, const std::string& line)
{
    std::string key;
    if (ParseKey(line, key))
        block.keys.emplace(key, block.body.size());
    block.body.push_back(line);
    ++m_nLines;
}

void CIniFile::InsertBeforeLast(Block& block, const std::string& line)
{
    // The last line is empty, so it holds no key and only its index moves.
    const size_t at = block.body.size() - 1;
    block.body.insert(block.body.begin() + static_cast<std::ptrdiff_t>(at), line);
    std::string key;
    if (ParseKey(line, key))
        block.keys.emplace(key, at);
    ++m_nLines;
}

void CIniFile::ReplaceBodyLine(Block& block, size_t index, const std::string& line, const std::string& oldKey)
{
    block.body[index] = line;
    std::string key;
    ParseKey(line, key);
    if (key == oldKey)
        return;
    // The line now holds another key (the given one held "=" or blanks):
    // the old key's first line is a later one, if any, and the new key may
    // have its first line here.
    block.keys.erase(oldKey);
    for (size_t i = index + 1; i < block.body.size(); ++i) {
        std::string k;
        if (ParseKey(block.body[i], k) && k == oldKey) {
            block.keys.emplace(oldKey, i);
            break;
        }
    }
    auto found = block.keys.find(key);
    if (found == block.keys.end() || found->second > index)
        block.keys[key] = index;
}

void CIniFile::AddLine(const std::string& line)
{
    if (StartsBlock(line)) {
        StartBlock(line);
        return;
    }
    if (m_blocks.empty())
        m_blocks.emplace_back();  // lines before the first "[" line
    AppendToBody(m_blocks.back(), line);
}

std::vector<std::string> CIniFile::Lines() const
{
    std::vector<std::string> lines;
    lines.reserve(m_nLines);
    for (const Block& block : m_blocks) {
        if (block.hasStart)
            lines.push_back(block.start);
        lines.insert(lines.end(), block.body.begin(), block.body.end());
    }
    return lines;
}

bool CIniFile::Load(const std::string& path, bool scrambled)
{
    m_strPath = path;
    m_bScrambled = scrambled;
    if (!FileExists(path)) {
        m_bExists = false;
        return true;
    }
    m_bExists = true;

    // The file is unscrambled in memory: it never lies on disk in plain text,
    // and a failed read cannot leave it half transformed.
    CFile file;
    const unsigned mode = scrambled ? CFile::modeReadWrite | CFile::shareDenyNone : CFile::modeRead | CFile::shareDenyNone;
    if (!file.Open(path, mode))
        return false;
    const uint64_t length = file.GetLength();
    if ((scrambled && length == 0) || length > 0x7FFFFFFFu)
        return false;
    std::string text(static_cast<size_t>(length), '\0');
    if (!ReadFully(file, text.data(), static_cast<uint32_t>(length)))
        return false;
    file.Close();
    if (scrambled)
        ScrambleBytes(text);
    SetText(text);
    return true;
}

void CIniFile::SetText(const std::string& text)
{
    m_bExists = true;
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t lf = text.find('\n', begin);
        size_t end = lf == std::string::npos ? text.size() : lf;
        size_t stop = end;
        if (lf != std::string::npos && stop > begin && text[stop - 1] == '\r')
            --stop;
        lines.push_back(text.substr(begin, stop - begin));
        begin = lf == std::string::npos ? text.size() : lf + 1;
    }
    Rebuild(lines);
}

std::string CIniFile::Text() const
{
    std::string text;
    for (const Block& block : m_blocks) {
        if (block.hasStart)
            text.append(block.start).append("\r\n");
        for (const std::string& line : block.body)
            text.append(line).append("\r\n");
    }
    return text;
}

bool CIniFile::Save()
{
    std::string text = Text();
    if (m_bScrambled)
        ScrambleBytes(text);
    if (text.size() > 0x7FFFFFFFu)
        return false;
    // Written in one piece, already scrambled, to a file beside the old one
    // that then takes its place: no plain text on disk, and a failed write
    // leaves the old file as it was instead of a file cut short, whose
    // length would no longer even unscramble it.
    const std::string fresh = m_strPath + ".new";
    CFile file;
    if (!file.Open(fresh, CFile::modeCreate | CFile::modeWrite))
        return false;
    const bool written = file.Write(text.data(), static_cast<uint32_t>(text.size())) && file.Flush();
    file.Close();
    if (!written || !ReplaceFileWith(fresh, m_strPath)) {
        RemoveFile(fresh).Ignore();  // a leftover ".new" is replaced by the next save
        return false;
    }
    return true;
}

const CIniFile::Block* CIniFile::FindSection(const std::string& section) const
{
    auto found = m_headers.find(section);
    return found == m_headers.end() ? nullptr : &m_blocks[found->second];
}

std::string CIniFile::GetValue(const std::string& section, const std::string& key, const std::string& def) const
{
    if (!m_bExists)
        return def;
    const Block* block = FindSection(section);
    if (block == nullptr)
        return def;
    auto found = block->keys.find(key);
    if (found == block->keys.end())
        return def;
    std::string value;
    MatchKey(block->body[found->second], key, &value);
    return value;
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int def) const
{
    return ToInt(GetValue(section, key, Format("%d", def)));
}

void CIniFile::Rebuild(const std::vector<std::string>& lines)
{
    Clear();
    for (const std::string& line : lines)
        AddLine(line);
}

void CIniFile::SetValueByWalking(const std::string& section, const std::string& line, const std::string& key)
{
    std::vector<std::string> lines = Lines();
    size_t h = 0;
    while (h < lines.size() && MatchSection(lines[h], section) != 2)
        ++h;
    if (h == lines.size()) {
        if (lines.size() > 1)
            lines.emplace_back();
        lines.push_back("[" + section + "]");
        lines.push_back(line);
    } else {
        size_t j = h + 1;
        for (; j < lines.size(); ++j) {
            const int match = MatchKey(lines[j], key);
            if (match == 2) {
                lines[j] = line;
                break;
            }
            if (match == 1) {
                const size_t at = lines[j - 1].empty() ? j - 1 : j;
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
                break;
            }
        }
        if (j == lines.size())
            lines.push_back(line);
    }
    Rebuild(lines);
}

void CIniFile::SetValue(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string line = key + "=" + value;
    if (StartsBlock(line)) {
        // A key beginning with "[" makes its line start a block of its own,
        // which splits the section: rare enough to take the plain walk.
        SetValueByWalking(section, line, key);
        return;
    }
    auto header = m_headers.find(section);
    if (header == m_headers.end()) {
        if (m_nLines > 1)
            AddLine(std::string());
        AddLine("[" + section + "]");
        AddLine(line);
        return;
    }
    Block& block = m_blocks[header->second];
    auto found = block.keys.find(key);
    if (found != block.keys.end()) {
        ReplaceBodyLine(block, found->second, line, key);
        return;
    }
    const bool last = header->second + 1 == m_blocks.size();
    if (!last && !block.body.empty() && block.body.back().empty())
        InsertBeforeLast(block, line);  // keep the empty line between sections
    else
        AppendToBody(block, line);
}

void CIniFile::SetInt(const std::string& section, const std::string& key, int value)
{
    SetValue(section, key, Format("%d", value));
}
