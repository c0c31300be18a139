// The Win32 platform layer against the real (Wine's) registry, resources and file system.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/RunLock.h"
#include "platform/win32/WideText.h"

namespace {

std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A fresh folder below the temporary folder, removed afterwards; its name holds non-ASCII text.
class TempFolder {
 public:
  TempFolder() {
    folder_ = std::filesystem::temp_directory_path() /
              std::filesystem::path(u8"nexlume-win32-\u5149\u6CA2-" +
                                    std::u8string(reinterpret_cast<const char8_t*>(std::to_string(
                                        std::chrono::steady_clock::now().time_since_epoch().count()).c_str())));
    std::filesystem::create_directories(folder_);
  }
  ~TempFolder() {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_))
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::filesystem::path native(const std::u8string& name) const { return folder_ / std::filesystem::path(name); }
  std::string path(const std::u8string& name) const { return utf8(native(name)); }

 private:
  std::filesystem::path folder_;
};

std::string contentOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& content) {
  std::unique_ptr<platform::File> file = platform::createFileForWriting(path).value;
  ASSERT_TRUE(file) << path;
  ASSERT_EQ(file->write(content.data(), content.size()).value, content.size());
  ASSERT_TRUE(file->flush());
}

// ---- Registry ----------------------------------------------------------------------------------------

constexpr wchar_t kTestKey[] = L"Software\\NexlumeWin32PlatformTest";

class Registry : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_64KEY, 0);
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
  }
  static HKEY create(HKEY root, REGSAM view) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr), ERROR_SUCCESS);
    return key;
  }
  static void setString(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
};

TEST_F(Registry, MachineKeysAreReadInThe32BitView) {
  HKEY view32 = create(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
  setString(view32, L"InstallPath", L"C:\\Program Files (x86)\\Tarvel\\");
  RegCloseKey(view32);
  HKEY view64 = create(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
  setString(view64, L"InstallPath", L"C:\\Program Files\\64-bit\\");
  RegCloseKey(view64);

  auto key = platform::openRegistryKey(platform::RegistryRoot::LocalMachine, "SOFTWARE\\nexlumewin32platformtest");
  ASSERT_TRUE(key) << "key names compare case-insensitively";
  std::uint8_t buffer[1024] = {};
  std::uint32_t size = sizeof buffer;
  std::uint32_t type = 0;
  ASSERT_EQ(key->query("installpath", buffer, size, type), platform::QueryStatus::Ok);
  const char expected[] = "C:\\Program Files (x86)\\Tarvel\\";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), std::string(expected, sizeof expected));
  EXPECT_EQ(type, platform::kRegSz);
}

TEST_F(Registry, TextComesAsUtf8WithItsTerminatorAndOtherDataAsStored) {
  HKEY key = create(HKEY_CURRENT_USER, 0);
  setString(key, L"Language", L"\u65E5\u672C\u8A9E");  // 3 UTF-16 units, 9 UTF-8 bytes
  setString(key, L"Folder", L"%ProgramFiles%\\X", REG_EXPAND_SZ);
  const DWORD number = 0x01020304;
  RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);

  auto opened = platform::openRegistryKey(platform::RegistryRoot::CurrentUser, "Software\\NexlumeWin32PlatformTest");
  ASSERT_TRUE(opened);
  std::uint8_t buffer[32] = {};
  std::uint32_t type = 0;
  const struct {
    const char* name;
    std::string data;
    std::uint32_t type;
  } cases[] = {
      {"Language", std::string("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 10), platform::kRegSz},
      {"Folder", std::string("%ProgramFiles%\\X", 17), platform::kRegExpandSz},
      {"Count", std::string("\x04\x03\x02\x01", 4), platform::kRegDword},
  };
  for (const auto& c : cases) {
    std::uint32_t size = sizeof buffer;
    ASSERT_EQ(opened->query(c.name, buffer, size, type), platform::QueryStatus::Ok) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), c.data) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
  }

  // Too small a buffer: the size needed (in UTF-8 bytes) and the buffer untouched.
  std::uint8_t small[4] = {'x', 'x', 'x', 'x'};  // 9 bytes of text and the terminator do not fit
  std::uint32_t size = sizeof small;
  EXPECT_EQ(opened->query("Language", small, size, type), platform::QueryStatus::MoreData);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(small[0], 'x');
  size = sizeof buffer;
  EXPECT_EQ(opened->query("Absent", buffer, size, type), platform::QueryStatus::NotFound);
  EXPECT_FALSE(platform::openRegistryKey(platform::RegistryRoot::CurrentUser, "Software\\NexlumeWin32PlatformTest\\Absent"));
}

// ---- Resources ---------------------------------------------------------------------------------------

TEST(Resources, StringTableTextsAreTakenLiterally) {
  EXPECT_EQ(platform::loadString(1), std::optional<std::string>("English"));
  EXPECT_EQ(platform::loadString(16), std::optional<std::string>("Arabic"));
  EXPECT_EQ(platform::loadString(13), std::optional<std::string>("Tessaprint\\Device\\"));
  EXPECT_EQ(platform::loadString(127),
            std::optional<std::string>("Profiles\\Nexlume Q7\\DURA-UV CMYK\\NXQ7DuraUV2_Generic_v1440x720_W.icc"));
  for (int id : {0, 11, 12, 17, 57344, -1, 70000}) EXPECT_FALSE(platform::loadString(id).has_value()) << id;
}

TEST(Resources, EmbeddedFilesAreFoundInPlace) {
  const platform::EmbeddedFile small = platform::findEmbeddedFile(7);
  ASSERT_EQ(small.status, platform::ResourceStatus::Found);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(small.data), small.size), "small");
  EXPECT_EQ(platform::findEmbeddedFile(7).data, small.data);
  const platform::EmbeddedFile empty = platform::findEmbeddedFile(8);
  EXPECT_EQ(empty.status, platform::ResourceStatus::Found);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(platform::findEmbeddedFile(9).status, platform::ResourceStatus::NotFound);
}

// ---- File system -------------------------------------------------------------------------------------

TEST(FileSystem, NonAsciiPathsReachTheDiskAsTheyAre) {
  TempFolder folder;
  const std::string path = folder.path(u8"\u0413\u043B\u044F\u043D\u0435\u0446 \u5149\u6CA2.dsr");
  writeFile(path, "content");
  EXPECT_EQ(contentOf(folder.native(u8"\u0413\u043B\u044F\u043D\u0435\u0446 \u5149\u6CA2.dsr")), "content");
  EXPECT_TRUE(platform::fileExists(path));
  EXPECT_TRUE(platform::pathExists(path));
  const auto read = platform::readWholeFile(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(read.value.begin(), read.value.end()), "content");

  const std::string sub = folder.path(u8"\u00C9t\u00E9");
  EXPECT_TRUE(platform::createDirectory(sub));
  EXPECT_FALSE(platform::createDirectory(sub));
  EXPECT_TRUE(platform::pathExists(sub));
  EXPECT_FALSE(platform::fileExists(sub)) << "a folder is not a file";
}

TEST(FileSystem, AReadOnlyFileCannotBeWrittenDeletedOrReplaced) {
  TempFolder folder;
  const std::string path = folder.path(u8"locked.dsr");
  writeFile(path, "old");
  ASSERT_TRUE(SetFileAttributesW(folder.native(u8"locked.dsr").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(platform::createFileForWriting(path));
  EXPECT_FALSE(platform::deleteFile(path));
  const std::string other = folder.path(u8"other.dsr");
  writeFile(other, "new");
  EXPECT_FALSE(platform::moveFileReplacing(other, path));
  EXPECT_EQ(contentOf(folder.native(u8"locked.dsr")), "old");
}

TEST(FileSystem, AnOpenFileSharesWithNoOne) {
  TempFolder folder;
  const std::string path = folder.path(u8"held.dsr");
  writeFile(path, "held");
  {
    auto reader = platform::openFileForReading(path).value;
    ASSERT_TRUE(reader);
    EXPECT_FALSE(platform::openFileForReading(path));
    EXPECT_FALSE(platform::createFileForWriting(path));
    char buffer[8] = {};
    EXPECT_EQ(reader->read(buffer, sizeof buffer).value, 4u);
  }
  EXPECT_TRUE(platform::openFileForReading(path));
}

TEST(FileSystem, CreateLinkAndMoveReplaceAsAsked) {
  TempFolder folder;
  const std::string a = folder.path(u8"a.txt");
  const std::string b = folder.path(u8"b.txt");
  writeFile(a, "longer old content");
  writeFile(a, "new");
  EXPECT_EQ(contentOf(folder.native(u8"a.txt")), "new") << "an existing file is truncated";
  EXPECT_FALSE(platform::createNewFile(a));
  writeFile(b, "b");
  EXPECT_TRUE(platform::linkFile(b, folder.path(u8"b-link.txt")));
  EXPECT_EQ(contentOf(folder.native(u8"b-link.txt")), "b");
  EXPECT_FALSE(platform::linkFile(a, folder.path(u8"b-link.txt"))) << "a name already there is not replaced";
  writeFile(a, "moved");
  EXPECT_TRUE(platform::moveFileReplacing(a, b));
  EXPECT_EQ(contentOf(folder.native(u8"b.txt")), "moved");
  EXPECT_FALSE(platform::fileExists(a));
  EXPECT_TRUE(platform::deleteFile(b));
  EXPECT_FALSE(platform::deleteFile(b));
  EXPECT_FALSE(platform::createFileForWriting(folder.path(u8"missing\\x.txt"))) << "no folder is created";
}

// The replacing write on Windows: the scratch file renamed over the target, the replaced file kept
// as the backup by a hard link, a read-only target neither replaced nor backed up, and the reason
// in the system's own words.
TEST(FileSystem, AReplacingWriteKeepsTheReplacedFileAsItsBackup) {
  TempFolder folder;
  const std::string target = folder.path(u8"Nexlume Q7 D4.dsr");
  const std::string backup = target + ".bak";
  writeFile(target, "installed");
  ASSERT_TRUE(platform::writeFileReplacing(target, "merged", backup));
  EXPECT_EQ(contentOf(folder.native(u8"Nexlume Q7 D4.dsr")), "merged");
  EXPECT_EQ(contentOf(folder.native(u8"Nexlume Q7 D4.dsr.bak")), "installed");
  EXPECT_FALSE(platform::pathExists(target + ".out"));
  ASSERT_TRUE(platform::writeFileReplacing(target, "merged again", backup));
  EXPECT_EQ(contentOf(folder.native(u8"Nexlume Q7 D4.dsr.bak")), "merged") << "one generation back";

  ASSERT_TRUE(SetFileAttributesW(folder.native(u8"Nexlume Q7 D4.dsr").c_str(), FILE_ATTRIBUTE_READONLY));
  const platform::WriteResult refused = platform::writeFileReplacing(target, "never", backup);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.failure, platform::WriteFailure::Replace);
  EXPECT_EQ(refused.reason, "the file is read-only");
  EXPECT_EQ(contentOf(folder.native(u8"Nexlume Q7 D4.dsr")), "merged again");
  EXPECT_EQ(contentOf(folder.native(u8"Nexlume Q7 D4.dsr.bak")), "merged");
  EXPECT_FALSE(platform::pathExists(target + ".out"));
}

// The run lock is a named mutex of the host's folder: a second holder says at once that it waits,
// gives up after its wait, and gets the lock once the first lets go; the same folder named another
// way (other case, a trailing separator) is the same lock, another folder is not.
TEST(RunLock, ASecondRunOnTheSameFolderWaitsForTheFirst) {
  TempFolder host;
  TempFolder other;
  std::string why;
  ASSERT_TRUE(platform::setHostFolder(host.path(u8""), why)) << why;
  platform::RunLockResult first = platform::acquireHostRunLock(std::chrono::milliseconds(0));
  ASSERT_TRUE(first.lock) << first.why;
  // A mutex is its owning thread's, so the second run is another thread.
  struct Attempt {
    std::string folder;
    DWORD wait;
    int toldWaiting = 0;
    platform::RunLockResult result;
  };
  auto tryFromAnotherThread = [](const std::string& folder, DWORD waitMs) {
    Attempt attempt{folder, waitMs, 0, {}};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* data) -> DWORD {
          auto* a = static_cast<Attempt*>(data);
          std::string ignored;
          platform::setHostFolder(a->folder, ignored);
          a->result = platform::acquireHostRunLock(std::chrono::milliseconds(a->wait), [a] { ++a->toldWaiting; });
          return 0;
        },
        &attempt, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return attempt;
  };
  std::string otherSpelling = host.path(u8"");
  for (char& c : otherSpelling) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& sameFolder : {host.path(u8""), otherSpelling + "\\"}) {
    SCOPED_TRACE(sameFolder);
    const Attempt refused = tryFromAnotherThread(sameFolder, 200);
    EXPECT_FALSE(refused.result.lock);
    EXPECT_TRUE(refused.result.busy);
    EXPECT_EQ(refused.toldWaiting, 1);
    EXPECT_NE(refused.result.why.find("another run on this host held it"), std::string::npos) << refused.result.why;
  }
  EXPECT_TRUE(tryFromAnotherThread(other.path(u8""), 200).result.lock) << "another folder has its own lock";
  first.lock.reset();
  const Attempt taken = tryFromAnotherThread(host.path(u8""), 200);
  EXPECT_TRUE(taken.result.lock);
  EXPECT_EQ(taken.toldWaiting, 0);
  platform::setHostFolder("", why);
}

// Whether a symbolic link could be made and is there (Wine 8 reports success and makes none).
bool madeSymbolicLink(const std::filesystem::path& link, const std::filesystem::path& target, DWORD flags) {
  return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Reading never goes through a link nor opens a folder as a file.
TEST(FileSystem, OnlyPlainFilesAreRead) {
  TempFolder folder;
  writeFile(folder.path(u8"outside.dsr"), std::string(2000, 's'));
  ASSERT_TRUE(CreateDirectoryW(folder.native(u8"folder.dsr").c_str(), nullptr));
  const platform::OpenedFile folderOpened = platform::openFileForReading(folder.path(u8"folder.dsr"));
  EXPECT_FALSE(folderOpened);
  EXPECT_EQ(folderOpened.reason, "a folder is in the way");
  const auto folderRead = platform::readWholeFile(folder.path(u8"folder.dsr"));
  EXPECT_FALSE(folderRead);
  EXPECT_EQ(folderRead.reason, "a folder is in the way");
  if (!madeSymbolicLink(folder.native(u8"link.dsr"), folder.native(u8"outside.dsr"), 0))
    GTEST_SKIP() << "no symbolic links made by this system (Wine's links are POSIX links, tried in wine-e2e.sh)";
  const platform::OpenedFile linkOpened = platform::openFileForReading(folder.path(u8"link.dsr"));
  EXPECT_FALSE(linkOpened);
  EXPECT_EQ(linkOpened.reason, "a symbolic link is in the way");
  const auto linkRead = platform::readWholeFile(folder.path(u8"link.dsr"));
  EXPECT_FALSE(linkRead);
  EXPECT_EQ(linkRead.reason, "a symbolic link is in the way");
}

// With the host's folder set, a folder link below it that leads outside takes no file and no
// folder, and the dry run's check says so.
TEST(FileSystem, AFolderThatLeadsOutsideTheHostTakesNothing) {
  TempFolder host;
  TempFolder outside;
  if (!madeSymbolicLink(host.native(u8"Device"), outside.native(u8""), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "no symbolic links made by this system (Wine's links are POSIX links, tried in wine-e2e.sh)";
  std::string why;
  ASSERT_TRUE(platform::setHostFolder(host.path(u8""), why)) << why;
  const std::string reason = "the folder " + host.path(u8"Device") + " leads outside the host's folder";
  EXPECT_FALSE(platform::writeFileReplacing(host.path(u8"Device\\x.dsr"), "new"));
  const platform::FileResult created = platform::createDirectory(host.path(u8"Device\\Sub"));
  EXPECT_FALSE(created);
  EXPECT_EQ(created.reason, reason);
  const platform::FileResult replaceable = platform::canReplace(host.path(u8"Device\\x.dsr"));
  EXPECT_FALSE(replaceable);
  EXPECT_EQ(replaceable.reason, reason);
  EXPECT_TRUE(std::filesystem::is_empty(outside.native(u8"")));
  EXPECT_TRUE(platform::writeFileReplacing(host.path(u8"x.dsr"), "inside"));
  platform::setHostFolder("", why);
}

// The security descriptor's access control list of a file, in its text form.
std::string daclOf(const std::filesystem::path& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return "(none)";
  wchar_t* text = nullptr;
  std::string result = "(none)";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    result = platform::win32::toUtf8(text);
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

// A replaced file keeps its attributes and its access control list, and so does its backup. Wine
// keeps the attributes (hidden, archive); it has no access control lists of files to keep.
TEST(FileSystem, AReplacedFileKeepsItsAttributesAndAccess) {
  TempFolder folder;
  const std::string target = folder.path(u8"d.dsr");
  writeFile(target, "installed");
  PSECURITY_DESCRIPTOR wanted = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;BA)(A;;FR;;;BU)", SDDL_REVISION_1, &wanted, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted));
  ASSERT_EQ(SetNamedSecurityInfoW(folder.native(u8"d.dsr").wstring().data(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(wanted);
  ASSERT_TRUE(SetFileAttributesW(folder.native(u8"d.dsr").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  const std::string acl = daclOf(folder.native(u8"d.dsr"));
  // Wine keeps no list it is given (it shows one made from the POSIX mode): only Windows tests it.
  const bool listKept = acl.find("(A;;FR;;;BU)") != std::string::npos;
  const DWORD attributes = GetFileAttributesW(folder.native(u8"d.dsr").c_str());

  ASSERT_TRUE(platform::writeFileReplacing(target, "merged", target + ".bak"));
  EXPECT_EQ(contentOf(folder.native(u8"d.dsr")), "merged");
  for (const std::u8string name : {u8"d.dsr", u8"d.dsr.bak"}) {
    if (listKept) {
      EXPECT_EQ(daclOf(folder.native(name)), acl) << utf8(name);
    }
    EXPECT_EQ(GetFileAttributesW(folder.native(name).c_str()), attributes) << utf8(name);
  }
}

TEST(FileSystem, TheFaultInjectionHookCountsEveryOperation) {
  TempFolder folder;
  const std::string path = folder.path(u8"f.txt");
  _putenv_s("NEXLUME_FAULT_AT", "2");
  platform::resetFaultInjectionForTesting();
  auto file = platform::createFileForWriting(path).value;  // operation 1
  ASSERT_TRUE(file);
  EXPECT_FALSE(file->write("x", 1)) << "operation 2 fails";
  EXPECT_EQ(file->write("y", 1).value, 1u);
  file.reset();
  _putenv_s("NEXLUME_FAULT_AT", "");
  platform::resetFaultInjectionForTesting();
  EXPECT_EQ(contentOf(folder.native(u8"f.txt")), "y");
}

}  // namespace
