// The installer's own manifest and version, read back from NexlumeQ7Setup.exe as Windows and
// deployment tools read them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

const std::wstring kSetupExe = L"" NEXLUME_SETUP_EXE_W;

TEST(SetupResources, TheManifestAsksForAdministratorRightsAndNamesWindows7To11) {
  HMODULE image = LoadLibraryExW(kSetupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr) << "no manifest of id 1";
  const auto* data = static_cast<const char*>(LockResource(LoadResource(image, found)));
  const std::string manifest(data, SizeofResource(image, found));
  FreeLibrary(image);
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"), std::string::npos)
      << manifest;
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(manifest.find(os), std::string::npos) << os;
}

std::wstring versionString(const std::vector<BYTE>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return std::wstring();
  return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(SetupResources, TheVersionIsTheProjectsVersion) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(kSetupExe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(kSetupExe.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), NEXLUME_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), NEXLUME_VERSION_MINOR);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), NEXLUME_VERSION_PATCH);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  const std::wstring quad = L"" NEXLUME_VERSION_QUAD_W;
  EXPECT_EQ(versionString(info, L"FileVersion"), quad);
  EXPECT_EQ(versionString(info, L"ProductVersion"), quad);
  EXPECT_EQ(versionString(info, L"OriginalFilename"), L"NexlumeQ7Setup.exe");
  for (const wchar_t* name : {L"FileDescription", L"ProductName", L"CompanyName", L"LegalCopyright"})
    EXPECT_FALSE(versionString(info, name).empty()) << name;
}

}  // namespace
