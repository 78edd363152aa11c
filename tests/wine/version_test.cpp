// The version resource of the shipped executables carries the project's one
// version number.
#include "common/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/app_wine_support.h"

namespace {

std::string StringValue(const std::vector<char>& info, const std::string& name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = "\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || length == 0) return "";
  return std::string(value);
}

TEST(WineVersionTest, BothExecutablesCarryTheProjectVersion) {
  for (const char* exe : {"nortavel_free_service.exe", "nortavelctl.exe"}) {
    const std::string path = app_wine::BuildDir() + "\\" + exe;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    EXPECT_EQ(StringValue(info, "FileVersion"), NF_VERSION) << exe;
    EXPECT_EQ(StringValue(info, "ProductVersion"), NF_VERSION) << exe;
    EXPECT_EQ(StringValue(info, "ProductName"), "NortavelFree") << exe;
    EXPECT_NE(StringValue(info, "FileDescription").find("Nortavel free"), std::string::npos) << exe;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>((NF_VERSION_MAJOR << 16) | NF_VERSION_MINOR)) << exe;
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(NF_VERSION_PATCH << 16)) << exe;
  }
}

}  // namespace
