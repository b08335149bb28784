#include "tools/pack/run_tool.h"

#include <vector>

std::string ToolMessage(const std::string& output)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : output + "\n") {
        if (c != '\n' && c != '\r') {
            line += c;
        } else if (line.find_first_not_of(" \t") != std::string::npos) {
            lines.push_back(line);
            line.clear();
        } else {
            line.clear();
        }
    }
    // The last lines say what went wrong; earlier ones are progress.
    std::string text;
    for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
        text += (text.empty() ? "" : "; ") + lines[i];
    if (text.size() > 400)
        text = "..." + text.substr(text.size() - 400);
    return text;
}
