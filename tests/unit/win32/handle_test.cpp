#include "framework/win32/handle.h"
#include "support.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {
int g_closed = 0;

// Closing fails on purpose, leaving an error of its own behind.
struct CountingTraits {
    using value_type = int;
    static int invalid() { return -1; }
    static void close(int)
    {
        ++g_closed;
        SetLastError(ERROR_INVALID_HANDLE);
    }
};
using counted = unique_handle<CountingTraits>;
}  // namespace

TEST(Handle, ClosesEachValidValueOnceAndKeepsTheCallersError)
{
    g_closed = 0;
    {
        counted never;
        counted failed(-1);
        EXPECT_FALSE(never);
        EXPECT_FALSE(failed);
    }
    EXPECT_EQ(g_closed, 0);

    {
        counted first(7);
        counted second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), 7);
        SetLastError(ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(g_closed, 1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    counted kept(3);
    EXPECT_EQ(kept.release(), 3);
    kept.reset(4);
    kept.reset();
    EXPECT_EQ(g_closed, 2);
}

TEST(Handle, FileIsClosedAtTheEndOfItsScope)
{
    const std::string path = NewScratchFolder() + "held.bin";
    {
        const unique_file file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(file);
        // Held without sharing: a second open is refused while it lives.
        const unique_file again(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(again);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    const unique_file reopened(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(reopened);
}

TEST(Handle, ScopeExitRunsUnlessReleased)
{
    int runs = 0;
    {
        scope_exit count([&] { ++runs; });
        scope_exit dismissed([&] { runs += 10; });
        dismissed.release();
    }
    EXPECT_EQ(runs, 1);
}
