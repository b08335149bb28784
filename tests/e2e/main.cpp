#include <gtest/gtest.h>

#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Every test process gets a temporary folder of its own, which the
    // programs it starts inherit: the installer always extracts into
    // "Tessaramond\" there, and a program of an earlier test that is still
    // ending must not hold that folder for this one.
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    for (DWORD n = GetTickCount();; ++n) {
        const std::string own = std::string(temp) + "tmd-e2e-temp-" + std::to_string(n);
        if (CreateDirectoryA(own.c_str(), nullptr)) {
            SetEnvironmentVariableA("TEMP", own.c_str());
            SetEnvironmentVariableA("TMP", own.c_str());
            break;
        }
    }
    return RUN_ALL_TESTS();
}
