// The check for the DOM component: its class registration read from the registry, expanded, and
// its library loaded and kept. CTest runs every test in a process of its own, so each starts with
// the check's memory empty.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "xmlio/Dom.h"

namespace {

bool libraryLoaded(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

constexpr wchar_t kServerKey[] = L"Software\\Classes\\CLSID\\{88d969c0-f192-11d4-a65f-0040963251e5}\\InProcServer32";
constexpr wchar_t kServer6Key[] = L"Software\\Classes\\CLSID\\{88d96a05-f192-11d4-a65f-0040963251e5}\\InprocServer32";

// One class registration's library path, replaced for a test and put back after it.
class Registration {
 public:
  explicit Registration(const wchar_t* keyName) {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer;
    if (RegQueryValueExW(key_, nullptr, nullptr, &type_, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS)
      original_ = buffer;
  }
  ~Registration() {
    if (key_ == nullptr) return;
    set(original_, type_);
    RegCloseKey(key_);
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  bool opened() const { return key_ != nullptr && !original_.empty(); }
  bool set(const std::wstring& path, DWORD type) {
    return RegSetValueExW(key_, nullptr, 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                          static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  void restore() { set(original_, type_); }
  HKEY key() const { return key_; }

 private:
  HKEY key_ = nullptr;
  DWORD type_ = REG_SZ;
  std::wstring original_;
};

// Replaces the registered library of the MSXML 4.0 DOM class for one test, and puts the original
// back; MSXML 6.0 is made unavailable meanwhile, so that the 4.0 check alone decides.
class DomRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(msxml4_.opened());
    ASSERT_TRUE(msxml6_.opened());
    ASSERT_TRUE(msxml6_.set(L"C:\\windows\\system32\\no-such-msxml6.dll", REG_SZ));
  }
  void register_(const std::wstring& path, DWORD type) { ASSERT_TRUE(msxml4_.set(path, type)); }
  Registration msxml4_{kServerKey};
  Registration msxml6_{kServer6Key};
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
  msxml4_.restore();
  EXPECT_TRUE(dom::IsMsxmlAvailable()) << "checked again";
  register_(L"%SystemRoot%\\system32\\no-such-dom.dll", REG_SZ);
  EXPECT_TRUE(dom::IsMsxmlAvailable()) << "a success is kept for the life of the process";
}

TEST_F(DomRegistration, AClassRegistrationOfAnotherTypeDoesNotCount) {
  const DWORD number = 1;
  ASSERT_EQ(RegSetValueExW(msxml4_.key(), nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number),
            ERROR_SUCCESS);
  EXPECT_FALSE(dom::IsMsxmlAvailable());
}

// Without MSXML 4.0 (a current Windows), MSXML 6.0 is the DOM, found through its own registration,
// and it reads and writes as 4.0 does; without either there is no DOM.
TEST(DomVersions, WithoutMsxml4TheDomIsMsxml6) {
  Registration msxml4(kServerKey);
  ASSERT_TRUE(msxml4.opened());
  ASSERT_TRUE(msxml4.set(L"C:\\windows\\system32\\no-such-msxml4.dll", REG_SZ));
  ASSERT_TRUE(dom::IsMsxmlAvailable());
  EXPECT_STREQ(dom::domComponentName(), "MSXML 6.0");
  EXPECT_TRUE(libraryLoaded(L"msxml6.dll"));
}

TEST(DomVersions, WithNeitherThereIsNoDom) {
  Registration msxml4(kServerKey);
  Registration msxml6(kServer6Key);
  ASSERT_TRUE(msxml4.set(L"C:\\windows\\system32\\no-such-msxml4.dll", REG_SZ));
  ASSERT_TRUE(msxml6.set(L"C:\\windows\\system32\\no-such-msxml6.dll", REG_SZ));
  EXPECT_FALSE(dom::IsMsxmlAvailable());
  EXPECT_STREQ(dom::domComponentName(), "none");
}

}  // namespace
