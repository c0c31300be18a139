// The check for the DOM component: its class registration read from the registry, expanded, and
// its library loaded and kept. CTest runs every test in a process of its own, so each starts with
// the check's memory empty.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "xmlio/Dom.h"

namespace {

constexpr wchar_t kServerKey[] = L"Software\\Classes\\CLSID\\{88d969c0-f192-11d4-a65f-0040963251e5}\\InProcServer32";

// Replaces the registered library of the DOM class for one test, and puts the original back.
class DomRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_), ERROR_SUCCESS);
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key_, nullptr, nullptr, &type_, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    original_ = buffer;
  }
  void TearDown() override {
    if (key_ == nullptr) return;
    register_(original_, type_);
    RegCloseKey(key_);
  }
  void register_(const std::wstring& path, DWORD type) {
    ASSERT_EQ(RegSetValueExW(key_, nullptr, 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  static bool libraryLoaded(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

  HKEY key_ = nullptr;
  DWORD type_ = REG_SZ;
  std::wstring original_;
};

TEST_F(DomRegistration, AnExpandableLibraryPathIsExpandedAndTheLibraryKeptLoaded) {
  register_(L"%SystemRoot%\\system32\\msxml4.dll", REG_EXPAND_SZ);
  EXPECT_FALSE(libraryLoaded(L"msxml4.dll"));
  EXPECT_TRUE(dom::IsMsxmlAvailable());
  EXPECT_TRUE(libraryLoaded(L"msxml4.dll"));
  // The COM use of the program ends; the library stays.
  ASSERT_TRUE(dom::initializeCom());
  { dom::Document document = dom::Document::create(); }
  dom::uninitializeCom();
  EXPECT_TRUE(libraryLoaded(L"msxml4.dll"));
}

TEST_F(DomRegistration, AFailedCheckIsNotRememberedAndASuccessIs) {
  register_(L"%SystemRoot%\\system32\\no-such-dom.dll", REG_EXPAND_SZ);
  EXPECT_FALSE(dom::IsMsxmlAvailable());
  register_(original_, type_);
  EXPECT_TRUE(dom::IsMsxmlAvailable()) << "checked again";
  register_(L"%SystemRoot%\\system32\\no-such-dom.dll", REG_SZ);
  EXPECT_TRUE(dom::IsMsxmlAvailable()) << "a success is kept for the life of the process";
}

TEST_F(DomRegistration, AClassRegistrationOfAnotherTypeDoesNotCount) {
  const DWORD number = 1;
  ASSERT_EQ(RegSetValueExW(key_, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number), ERROR_SUCCESS);
  EXPECT_FALSE(dom::IsMsxmlAvailable());
}

}  // namespace
