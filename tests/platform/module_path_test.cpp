// The program's own path, as GetModuleFileNameA gives it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/win32.h"

namespace {

TEST(ModulePath, NamesTheRunningProgramAndCutsToTheCapacity) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    char path[4096];
    const DWORD length = GetModuleFileNameA(self, path, sizeof path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_EQ(path[0], '/');
    const std::string full(path);
    EXPECT_EQ(full.substr(full.rfind('/') + 1), "module_path_test");
    struct stat info;
    EXPECT_EQ(stat(path, &info), 0);

    char small[6];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 6u);  // as Win32: the capacity
    EXPECT_EQ(std::string(small), full.substr(0, 5));
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 0), 0u);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
}

}  // namespace
