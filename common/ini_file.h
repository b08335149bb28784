// The INI document of the descriptor and the uninstall records: a list of
// lines, read and changed in memory and written back as a whole, optionally
// kept scrambled on disk.
//
// Lines are grouped into blocks: a block starts at a line whose first
// non-blank character is "[" (whether or not it is a well-formed header) and
// holds the lines up to the next such line; the lines before the first one
// form a block without a start line. A section's keys are the lines of the
// block its header starts, so the first header of a name and the first key
// of a block are found through indexes instead of walks over the whole
// document, and every edit lands at the end of a block.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

class CIniFile {
public:
    // Reads the file; a missing file gives an empty new document. False when
    // the file cannot be read (a scrambled one: cannot be opened for reading
    // and writing, or is empty).
    bool Load(const std::string& path, bool scrambled);
    // Writes every line followed by CR LF to the loaded path, whole or not
    // at all: a failed save leaves the file as it was.
    [[nodiscard]] bool Save();
    // The document from text, as Load reads a file; and back as Save writes it.
    void SetText(const std::string& text);
    std::string Text() const;

    std::string GetValue(const std::string& section, const std::string& key, const std::string& def) const;
    int GetInt(const std::string& section, const std::string& key, int def) const;
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    void SetInt(const std::string& section, const std::string& key, int value);

    bool Exists() const { return m_bExists; }
    size_t LineCount() const { return m_nLines; }
    // The document's lines in order.
    std::vector<std::string> Lines() const;

    // Line classifiers. MatchSection: 0 empty or comment only, 2 a header of
    // the name, 3 anything else. MatchKey: 0 empty, 1 begins with "[", 2 the
    // key (value stores the value), 3 anything else.
    static int MatchSection(const std::string& line, const std::string& name);
    static int MatchKey(const std::string& line, const std::string& key, std::string* value = nullptr);

private:
    struct Block {
        bool hasStart = false;
        std::string start;               // the "[" line
        std::vector<std::string> body;
        std::unordered_map<std::string, size_t> keys;  // key -> first body line holding it
    };

    void Clear();
    void Rebuild(const std::vector<std::string>& lines);
    void SetValueByWalking(const std::string& section, const std::string& line, const std::string& key);
    void AddLine(const std::string& line);
    void StartBlock(const std::string& line);
    void AppendToBody(Block& block, const std::string& line);
    void InsertBeforeLast(Block& block, const std::string& line);
    void ReplaceBodyLine(Block& block, size_t index, const std::string& line, const std::string& oldKey);
    const Block* FindSection(const std::string& section) const;

    std::vector<Block> m_blocks;
    std::unordered_map<std::string, size_t> m_headers;  // section -> block of its first header
    size_t m_nLines = 0;
    std::string m_strPath;
    bool m_bExists = false;
    bool m_bScrambled = false;
};
