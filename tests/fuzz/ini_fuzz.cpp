// The INI document: load any text, then a sequence of lookups, changes and
// saves chosen by the input. Every lookup through the document's indexes
// must agree with a plain walk over its lines, and a change must read back.
#include "common/ini_file.h"
#include "common/scramble.h"
#include "fuzz_support.h"

namespace {
// The value of section/key by walking the lines: the first header of the
// name, then the first line of the key before the next "[" line.
bool WalkValue(const std::vector<std::string>& lines, const std::string& section, const std::string& key,
               std::string& value)
{
    size_t h = 0;
    while (h < lines.size() && CIniFile::MatchSection(lines[h], section) != 2)
        ++h;
    for (size_t j = h + 1; j < lines.size(); ++j) {
        const int match = CIniFile::MatchKey(lines[j], key, &value);
        if (match == 1)
            return false;
        if (match == 2)
            return true;
    }
    return false;
}

void CheckLookup(const CIniFile& ini, const std::string& section, const std::string& key)
{
    std::string walked;
    const bool found = WalkValue(ini.Lines(), section, key, walked);
    const std::string got = ini.GetValue(section, key, "\x01missing");
    FUZZ_CHECK(found ? got == walked : got == "\x01missing");
}

// Text the input gives for a section, key or value: no line breaks, since
// a value is one line of the document.
std::string LineText(CFuzzInput& input)
{
    std::string text = input.Text(24);
    for (char& c : text)
        if (c == '\n')
            c = 'n';
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFuzzInput input(data, size);
    const bool scrambled = input.Byte() & 1;
    const size_t documentSize = input.U16();
    std::string document;
    while (document.size() < documentSize && !input.Empty())
        document += static_cast<char>(input.Byte());

    const std::string path = FuzzFolder() + "doc.ini";
    std::string onDisk = document;
    if (scrambled)
        ScrambleBytes(onDisk);
    FUZZ_CHECK(WriteFuzzFile(path, onDisk));
    CIniFile ini;
    const bool loaded = ini.Load(path, scrambled);
    FUZZ_CHECK(loaded == !(scrambled && document.empty()));
    if (!loaded)
        return 0;
    FUZZ_CHECK(ini.Exists());

    for (int step = 0; step < 32 && !input.Empty(); ++step) {
        const uint8_t op = input.Byte() % 4;
        const std::string section = LineText(input);
        const std::string key = LineText(input);
        FUZZ_CHECK(ini.LineCount() == ini.Lines().size());
        switch (op) {
        case 0:
            CheckLookup(ini, section, key);
            break;
        case 1: {
            const std::string value = LineText(input);
            ini.SetValue(section, key, value);
            // A key and value the line form can carry read back as set.
            std::string parsed;
            if (CIniFile::MatchSection("[" + section + "]", section) == 2 &&
                CIniFile::MatchKey(key + "=" + value, key, &parsed) == 2 && parsed == value)
                FUZZ_CHECK(ini.GetValue(section, key, "\x01missing") == value);
            CheckLookup(ini, section, key);
            break;
        }
        case 2: {
            const int value = static_cast<int>(input.U32());
            ini.SetInt(section, key, value);
            if (CIniFile::MatchSection("[" + section + "]", section) == 2 &&
                CIniFile::MatchKey(key + "=0", key) == 2)
                FUZZ_CHECK(ini.GetInt(section, key, value ^ 1) == value);
            break;
        }
        case 3: {
            // Saved and loaded again, the document has the same lines.
            const std::vector<std::string> before = ini.Lines();
            FUZZ_CHECK(ini.Save());
            CIniFile again;
            const bool reloaded = again.Load(path, scrambled);
            if (before.empty() && scrambled) {
                FUZZ_CHECK(!reloaded);
                break;
            }
            FUZZ_CHECK(reloaded);
            FUZZ_CHECK(again.Lines() == before);
            CheckLookup(again, section, key);
            break;
        }
        }
    }
    return 0;
}
