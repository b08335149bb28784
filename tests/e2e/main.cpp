#include "driver.h"

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
    e2e::UseOwnTempFolder("tmd-e2e-temp-");
    return RUN_ALL_TESTS();
}
