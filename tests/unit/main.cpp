// Test main. Started as "--report-launch FILE ARGS...", the program only writes
// its working folder and arguments to FILE: the launch tests start it that way.
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--report-launch") == 0) {
        std::ofstream report(argv[2], std::ios::binary);
        report << std::filesystem::current_path().string() << "\n";
        for (int i = 3; i < argc; ++i)
            report << argv[i] << "\n";
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    PrepareTestMachine();
    int result = RUN_ALL_TESTS();
    RemoveScratchFolders();
    CleanUpTestMachine();
    return result;
}
