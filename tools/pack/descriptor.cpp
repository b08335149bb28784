#include "tools/pack/descriptor.h"

#include "common/ini_file.h"
#include "format/descriptor_schema.h"
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

}  // namespace

std::string PrepareDescriptor(const std::string& utf8Text, bool withSystemDll, const std::string& fileName)
{
    std::string text = utf8Text;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::string gbk;
    unsigned number = 0;
    for (const std::string& line : Lines(text)) {
        std::string converted;
        ++number;
        if (!Utf8ToGbk(line, converted))
            throw CPackFailure(Format("%s:%u: characters that GBK cannot hold", fileName.c_str(), number));
        gbk += converted + "\r\n";
    }
    // The installer takes the flag from the descriptor, so it must agree
    // with whether "dll.rar" is in the package: set with the installer's own
    // document, which finds the section and the key the installer will read.
    CIniFile ini;
    ini.SetText(gbk);
    ini.SetInt(descriptor_schema::kSystemDll, descriptor_schema::kCkDll, withSystemDll ? 1 : 0);
    // Installers made from here on list the product among the system's
    // installed programs unless the descriptor says 0.
    if (ini.GetValue(descriptor_schema::kInstallInfo, descriptor_schema::kUninstallEntry, "").empty())
        ini.SetInt(descriptor_schema::kInstallInfo, descriptor_schema::kUninstallEntry, 1);
    return ini.Text();
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
