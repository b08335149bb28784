// StarConvert.exe, a second program of the demo product: prints the star
// table next to it (data\星表.csv) as aligned text.
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    std::string path = argc > 1 ? argv[1] : "..\\data\\星表.csv";
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        std::fprintf(stderr, "无法打开 %s\n", path.c_str());
        return 1;
    }
    char line[512];
    while (std::fgets(line, sizeof line, in)) {
        std::string row(line);
        for (char& c : row)
            if (c == ',')
                c = '\t';
        std::fputs(row.c_str(), stdout);
    }
    std::fclose(in);
    return 0;
}
