#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "tests/support/TestFiles.h"

namespace {

using platform::QueryStatus;
using platform::RegistryRoot;

constexpr const char* kHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";

struct Queried {
  QueryStatus status;
  std::uint32_t type = 0;
  std::string data;
};

Queried query(const platform::RegistryKey& key, const std::string& name) {
  std::uint8_t buffer[4096];
  std::uint32_t size = sizeof buffer;
  std::uint32_t type = 0;
  QueryStatus status = key.query(name, buffer, size, type);
  Queried result{status, type, {}};
  if (status == QueryStatus::Ok) result.data.assign(reinterpret_cast<char*>(buffer), size);
  return result;
}

// A prefix with the given hives (an empty text leaves that file out), loaded as the registry.
class RegistryPrefix {
 public:
  RegistryPrefix(const std::string& system, const std::string& user) {
    if (!system.empty()) testfiles::writeFile(folder_ / "system.reg", system);
    if (!user.empty()) testfiles::writeFile(folder_ / "user.reg", user);
    platform::setRegistryPrefix(folder_.path());
  }
  std::string path() const { return folder_.path(); }

 private:
  testfiles::TempFolder folder_;
};

TEST(WineRegistry, ValueTypesAndEscapesAsTheAnsiApiDeliversThem) {
  RegistryPrefix prefix(std::string(kHeader) +
                            "[Software\\\\Values] 1700000000\n"
                            "#time=1d9a0b0c0d0e0f0\n"
                            "@=\"default\"\n"
                            "\"Sz\"=\"abc\"\n"
                            "\"Escapes\"=\"a\\\\b\\\"c\\n\\t\\x00e9\\101\\xg\"\n"
                            "\"Surrogates\"=\"\\xd83d\\xde00\"\n"
                            "\"Utf8\"=\"Grüße\"\n"
                            "\"Expand\"=str(2):\"%SystemRoot%\\\\x\"\n"
                            "\"Multi\"=str(7):\"one\\0two\\0\"\n"
                            "\"OldSz\"=str:\"old\"\n"
                            "\"Dword\"=dword:0000abcd\n"
                            "\"Binary\"=hex:01,02,\\\n"
                            "  ff\n"
                            "\"HexSz\"=hex(1):41,00,42,00,00,00\n"
                            "\"HexExpand\"=hex(2):e9,00,00,00\n"
                            "\"HexMulti\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                            "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
                            "\"Empty\"=hex:\n",
                        "");
  auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Values");
  ASSERT_TRUE(key);
  const struct {
    const char* name;
    std::uint32_t type;
    std::string data;
  } cases[] = {
      {"", platform::kRegSz, std::string("default\0", 8)},
      {"Sz", platform::kRegSz, std::string("abc\0", 4)},
      {"Escapes", platform::kRegSz, std::string("a\\b\"c\n\t\xC3\xA9" "Axg\0", 13)},
      {"Surrogates", platform::kRegSz, std::string("\xF0\x9F\x98\x80\0", 5)},
      {"Utf8", platform::kRegSz, std::string("Gr\xC3\xBC\xC3\x9F" "e\0", 8)},
      {"Expand", platform::kRegExpandSz, std::string("%SystemRoot%\\x\0", 15)},
      {"Multi", platform::kRegMultiSz, std::string("one\0two\0\0", 9)},
      {"OldSz", platform::kRegSz, std::string("old\0", 4)},
      {"Dword", platform::kRegDword, std::string("\xCD\xAB\0\0", 4)},
      {"Binary", platform::kRegBinary, std::string("\x01\x02\xFF", 3)},
      {"HexSz", platform::kRegSz, std::string("AB\0", 3)},
      {"HexExpand", platform::kRegExpandSz, std::string("\xC3\xA9\0", 3)},
      {"HexMulti", platform::kRegMultiSz, std::string("a\0b\0\0", 5)},
      {"Qword", platform::kRegQword, std::string("\x01\0\0\0\0\0\0\0", 8)},
      {"Empty", platform::kRegBinary, std::string()},
  };
  for (const auto& c : cases) {
    Queried got = query(*key, c.name);
    EXPECT_EQ(got.status, QueryStatus::Ok) << c.name;
    EXPECT_EQ(got.type, c.type) << c.name;
    EXPECT_EQ(got.data, c.data) << c.name;
  }
  EXPECT_EQ(query(*key, "Missing").status, QueryStatus::NotFound);
}

TEST(WineRegistry, BufferProtocolOfTheQuery) {
  RegistryPrefix prefix(std::string(kHeader) + "[Software\\\\Values]\n\"Sz\"=\"abcdef\"\n", "");
  auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Values");
  ASSERT_TRUE(key);

  std::uint8_t buffer[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  std::uint32_t size = 6;  // one byte short of "abcdef\0"
  std::uint32_t type = 0;
  EXPECT_EQ(key->query("Sz", buffer, size, type), QueryStatus::MoreData);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 8), "xxxxxxxx");  // untouched

  size = 7;  // exactly enough
  EXPECT_EQ(key->query("Sz", buffer, size, type), QueryStatus::Ok);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 7), std::string("abcdef\0", 7));

  size = 0;  // no buffer: only the size
  EXPECT_EQ(key->query("Sz", nullptr, size, type), QueryStatus::Ok);
  EXPECT_EQ(size, 7u);
}

TEST(WineRegistry, KeyAndValueNamesCompareIgnoringCase) {
  RegistryPrefix prefix(std::string(kHeader) +
                            "[Software\\\\Tarvel\\\\Tarvel Tessaprint Dual\\\\Installer]\n\"InstallPath\"=\"C:\\\\x\\\\\"\n"
                            "[Software\\\\\\x00c4rger]\n\"Stra\\x00dfe\"=\"1\"\n",
                        "");
  for (const char* path : {"Software\\Tarvel\\Tarvel Tessaprint Dual\\Installer",
                           "SOFTWARE\\TARVEL\\TARVEL TESSAPRINT DUAL\\INSTALLER", "software\\tarvel\\tarvel tessaprint dual\\installer"}) {
    auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, path);
    ASSERT_TRUE(key) << path;
    EXPECT_EQ(query(*key, "installpath").status, QueryStatus::Ok) << path;
    EXPECT_EQ(query(*key, "INSTALLPATH").status, QueryStatus::Ok) << path;
  }
  // Non-ASCII letters fold too ("Ärger" / "ärger").
  auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\\xC3\xA4rger");
  ASSERT_TRUE(key);
  EXPECT_EQ(query(*key, "STRA\xC3\x9F" "E").status, QueryStatus::Ok);
  // Parents without a section of their own exist; a longer or different name does not.
  EXPECT_TRUE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Tarvel"));
  EXPECT_TRUE(platform::openRegistryKey(RegistryRoot::LocalMachine, ""));
  EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Tarve"));
  EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Tarvel\\Other"));
}

TEST(WineRegistry, ThirtyTwoBitViewOfA64BitPrefix) {
  std::string system = std::string(kHeader) +
                       "#arch=win64\n\n"
                       "[Software\\\\Only64]\n\"v\"=\"64\"\n"
                       "[Software\\\\Wow6432Node\\\\Only32]\n\"v\"=\"32\"\n"
                       "[Software\\\\Classes\\\\Msxml2.DOMDocument.4.0\\\\CLSID]\n@=\"{88D969C0}\"\n"
                       "[Software\\\\Classes\\\\CLSID\\\\{88D969C0}]\n@=\"64-bit server\"\n"
                       "[Software\\\\Classes\\\\Wow6432Node\\\\CLSID\\\\{88D969C0}]\n@=\"32-bit server\"\n";
  std::string user = "WINE REGISTRY Version 2\n\n#arch=win64\n\n[Software\\\\Only64]\n\"v\"=\"user\"\n";
  RegistryPrefix prefix(system, user);

  EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Only64"));
  auto redirected = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Only32");
  ASSERT_TRUE(redirected);
  EXPECT_EQ(query(*redirected, "v").data, std::string("32\0", 3));
  EXPECT_TRUE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Wow6432Node\\Only32"));
  // HKEY_CURRENT_USER\Software is shared by both views.
  auto user64 = platform::openRegistryKey(RegistryRoot::CurrentUser, "Software\\Only64");
  ASSERT_TRUE(user64);
  EXPECT_EQ(query(*user64, "v").data, std::string("user\0", 5));
  // Classes: a 32-bit class registration wins, the rest is shared.
  auto progId = platform::openRegistryKey(RegistryRoot::ClassesRoot, "Msxml2.DOMDocument.4.0\\CLSID");
  ASSERT_TRUE(progId);
  EXPECT_EQ(query(*progId, "").data, std::string("{88D969C0}\0", 11));
  auto server = platform::openRegistryKey(RegistryRoot::ClassesRoot, "CLSID\\{88D969C0}");
  ASSERT_TRUE(server);
  EXPECT_EQ(query(*server, "").data, std::string("32-bit server\0", 14));
}

TEST(WineRegistry, A32BitPrefixIsReadAsItStands) {
  RegistryPrefix prefix(std::string(kHeader) + "[Software\\\\Only64]\n\"v\"=\"plain\"\n", "");
  EXPECT_TRUE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Only64"));
  EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Wow6432Node\\Only64"));
}

TEST(WineRegistry, BrokenFilesNeverCrashAndKeepWhatIsReadable) {
  {
    RegistryPrefix missing("", "");
    EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, ""));
    EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::CurrentUser, ""));
    EXPECT_NE(platform::registryLoadNote().find("system.reg is missing"), std::string::npos);
  }
  {
    RegistryPrefix notRegistry("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n", "\x01\x02garbage");
    EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\X"));
    EXPECT_NE(platform::registryLoadNote().find("not a Wine registry file"), std::string::npos);
  }
  {
    // Bad lines are skipped, and so is a value cut off inside its continued hex data.
    RegistryPrefix damaged(std::string(kHeader) +
                               "\"BeforeAnyKey\"=\"x\"\n"
                               "[Software\\\\Broken\n\"InBrokenKey\"=\"x\"\n"
                               "[Software\\\\Good]\n"
                               "\"BadDword\"=dword:xyz\n"
                               "\"Unterminated\"=\"abc\n"
                               "\"BadHex\"=hex:0g,01\n"
                               "\"BadType\"=hex(zz):01\n"
                               "\"Fine\"=\"yes\"\n"
                               "\"Cut\"=hex:01,02,\\\n",
                           "");
    EXPECT_EQ(platform::registryLoadNote().find("system.reg"), std::string::npos);
    auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Good");
    ASSERT_TRUE(key);
    for (const char* name : {"BadDword", "Unterminated", "BadHex", "BadType", "Cut"}) {
      EXPECT_EQ(query(*key, name).status, QueryStatus::NotFound) << name;
    }
    EXPECT_EQ(query(*key, "Fine").data, std::string("yes\0", 4));
    EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Broken"));
  }
}

TEST(WineRegistry, RepeatedSectionsAndValuesCountAsIfSetInTurn) {
  RegistryPrefix prefix(std::string(kHeader) +
                            "[Software\\\\Twice]\n\"v\"=\"first\"\n\"w\"=dword:00000001\n\"v\"=\"second\"\n"
                            "[Software\\\\Other]\n\"v\"=\"other\"\n"
                            "[software\\\\TWICE]\n\"V\"=\"third\"\n@=\"default\"\n",
                        "");
  auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Twice");
  ASSERT_TRUE(key);
  EXPECT_EQ(query(*key, "v").data, std::string("third\0", 6));
  EXPECT_EQ(query(*key, "w").data, std::string("\x01\0\0\0", 4));
  EXPECT_EQ(query(*key, "").data, std::string("default\0", 8));
  auto other = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Other");
  ASSERT_TRUE(other);
  EXPECT_EQ(query(*other, "v").data, std::string("other\0", 6));
}

// Values far longer than any line or piece the file is read in: long strings of escapes, characters
// of two to four bytes and invalid bytes, and binary data continued over many lines, wherever the
// file's pieces happen to end (a comment line of varied length shifts them).
TEST(WineRegistry, LongValuesAreReadWhole) {
  std::string escaped;    // "a", "é", U+1F600 as two escaped units, "b"; five UTF-16 units
  std::string plain;      // "é€😀", an invalid byte, a lead byte without its continuation, "x"
  std::string hexLines;   // bytes 0, 1, 2 ... continued every 25 bytes
  std::string wantEscaped, wantPlain, wantBinary;
  for (int i = 0; i < 20000; ++i) {
    escaped += "a\xC3\xA9\\xd83d\\xde00b";
    wantEscaped += "a\xC3\xA9\xF0\x9F\x98\x80" "b";
    plain += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF\xC3x";
    wantPlain += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBDx";
  }
  for (int i = 0; i < 30000; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", i & 0xFF);
    hexLines += byte;
    if (i + 1 < 30000) hexLines += (i % 25 == 24) ? ",\\\n  " : ",";
    wantBinary += static_cast<char>(i & 0xFF);
  }
  for (std::size_t padding : {0u, 1u, 2u, 3u, 5000u, 65535u, 65536u + 7u}) {
    SCOPED_TRACE("a comment line of " + std::to_string(padding) + " bytes");
    RegistryPrefix prefix(std::string(kHeader) + ";" + std::string(padding, '.') + "\n[Software\\\\Long]\n\"Escaped\"=\"" +
                              escaped + "\"\n\"Plain\"=\"" + plain + "\"\n\"Binary\"=hex:" + hexLines +
                              "\n\"After\"=\"end\"",
                          "");
    auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\Long");
    ASSERT_TRUE(key);
    for (const auto& [name, want] : {std::pair<std::string, std::string>{"Escaped", wantEscaped + '\0'},
                                     {"Plain", wantPlain + '\0'}, {"Binary", wantBinary}, {"After", std::string("end\0", 4)}}) {
      std::uint32_t size = 0;
      std::uint32_t type = 0;
      ASSERT_EQ(key->query(name, nullptr, size, type), QueryStatus::Ok) << name;
      std::string data(size, '\0');
      ASSERT_EQ(key->query(name, reinterpret_cast<std::uint8_t*>(data.data()), size, type), QueryStatus::Ok) << name;
      EXPECT_TRUE(data == want) << name << ": " << data.size() << " bytes, " << want.size() << " expected";
    }
  }
}

TEST(WineRegistry, KeysStayValidAfterTheRegistryIsReloaded) {
  auto first = std::make_unique<RegistryPrefix>(std::string(kHeader) + "[Software\\\\A]\n\"v\"=\"first\"\n", "");
  auto key = platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\A");
  ASSERT_TRUE(key);
  RegistryPrefix second(std::string(kHeader) + "[Software\\\\B]\n", "");
  EXPECT_FALSE(platform::openRegistryKey(RegistryRoot::LocalMachine, "Software\\A"));
  EXPECT_EQ(query(*key, "v").data, std::string("first\0", 6));
}

}  // namespace
