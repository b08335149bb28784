#include "tools/pack/descriptor.h"

#include "framework/strings.h"
#include "tools/pack/gbk.h"
#include "tools/pack/pack_error.h"

#include <sstream>
#include <vector>

namespace {
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool IsSection(const std::string& line, std::string* name = nullptr)
{
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    if (name)
        *name = Trim(t.substr(1, t.size() - 2));
    return true;
}

bool IsKey(const std::string& line, const std::string& key)
{
    size_t eq = line.find('=');
    return eq != std::string::npos && Trim(line.substr(0, eq)) == key;
}
}  // namespace

std::string PrepareDescriptor(const std::string& utf8Text, bool withSystemDll, const std::string& fileName)
{
    std::string text = utf8Text;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::vector<std::string> lines = Lines(text);

    // The installer takes the flag from the descriptor, so it must agree
    // with whether "dll.rar" is in the package.
    const std::string flag = withSystemDll ? "ckdll=1" : "ckdll=0";
    bool inSection = false, done = false;
    size_t insertAt = lines.size();
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name;
        if (IsSection(lines[i], &name)) {
            if (inSection)
                break;
            inSection = name == "SystemDll";
            if (inSection)
                insertAt = i + 1;
        } else if (inSection && IsKey(lines[i], "ckdll")) {
            lines[i] = flag;
            done = true;
        } else if (inSection && !Trim(lines[i]).empty()) {
            insertAt = i + 1;
        }
    }
    if (!done) {
        if (insertAt == lines.size() && !inSection) {
            lines.push_back("[SystemDll]");
            insertAt = lines.size();
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), flag);
    }

    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string gbk;
        if (!Utf8ToGbk(lines[i], gbk))
            throw CPackFailure(Format("%s:%u: characters that GBK cannot hold", fileName.c_str(), static_cast<unsigned>(i + 1)));
        out += gbk + "\r\n";
    }
    return out;
}

std::string DescriptorToUtf8(const std::string& gbkText)
{
    std::string out;
    for (const std::string& line : Lines(gbkText)) {
        std::string utf8;
        if (!GbkToUtf8(line, utf8))
            utf8 = line;
        out += utf8 + "\n";
    }
    return out;
}
