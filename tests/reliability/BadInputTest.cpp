// The bad-input catalogue: registry files and installed descriptions that are truncated, malformed,
// huge, in other encodings, hostile (entity expansion, external entities, deep nesting) or hold
// values far out of range. Each case has one defined outcome of a whole installer run; none crashes,
// hangs, writes invalid UTF-8, leaves a scratch file or loses a medium it could read.
#include <gtest/gtest.h>

#include <functional>

#include "RunSupport.h"
#include "model/DeviceSeriesIO.h"

namespace reliability {
namespace {

const std::string kTarget = "Nexlume Q7 D4.dsr";  // the description every description case replaces
const std::string kUserMedium = "User medium";
const std::string kUserMediumJapanese = "ユーザーの媒体";

// ---- Text helpers ----------------------------------------------------------------------------------

std::string replaced(std::string text, const std::string& from, const std::string& to, bool all = false) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
    if (!all) break;
  }
  return text;
}

// The document with its XML declaration replaced by `declaration`.
std::string withDeclaration(const std::string& text, const std::string& declaration) {
  return declaration + text.substr(text.find("?>") + 2);
}

// Every character outside ASCII replaced by '?'.
std::string asciiOnly(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += text[i];
    } else if (b >= 0xC0) {
      out += '?';
    }
  }
  return out;
}

std::u32string toCodePoints(const std::string& utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out += c;
    i += length;
  }
  return out;
}

std::string toUtf16(const std::string& utf8, bool bigEndian, bool byteOrderMark) {
  std::u16string units;
  if (byteOrderMark) units += u'\uFEFF';
  for (const char32_t c : toCodePoints(utf8)) {
    if (c >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
  }
  std::string bytes;
  for (const char16_t u : units) {
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

bool isValidUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t length = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() - i < length) return false;
    char32_t c = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if ((length == 3 && c < 0x800) || (length == 4 && c < 0x10000) || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

// `count` levels of <n> inside each other, with `text` at the bottom.
std::string nested(std::size_t count, const std::string& text = "x") {
  std::string out;
  out.reserve(count * 7 + text.size());
  for (std::size_t i = 0; i < count; ++i) out += "<n>";
  out += text;
  for (std::size_t i = 0; i < count; ++i) out += "</n>";
  return out;
}

// A trailing comment that brings a short document to the size that makes the run merge it.
std::string padded(const std::string& text, std::size_t size = 2048) {
  if (text.size() >= size) return text;
  return text + "\n<!--" + std::string(size - text.size(), 'x').replace(0, 1, " ") + " -->\n";
}

// ---- The inputs every case starts from ---------------------------------------------------------------

struct Inputs {
  TempFolder folder;
  fs::path installed;         // a host after a fresh run
  std::string description;    // the installed description with the user's medium, as the program saves it
  std::string newDescription; // what the program installs as kTarget
  std::string systemReg;
  std::string userReg;
  std::string failure;

  Inputs() {
    installed = folder / "installed";
    copyTree(kExamplePrefix, installed);
    const RunResult run = runInstaller(kSmallSetupExe, installed);
    if (run.exitCode != 0) {
      failure = "the fresh run failed: " + run.errors;
      return;
    }
    const fs::path target = installed / kDeviceFolder / kTarget;
    newDescription = readFile(target);
    const fs::path planted = folder / "planted.dsr";
    DeviceSeries series;
    DeviceSeriesIO2 reader(target.string());
    if (!reader.LoadDocumentWithFallback(series)) {
      failure = reader.lastError();
      return;
    }
    MediaInfo mine = series.aMediaInfoList.at(0);
    mine.strMediaName.fill(kUserMedium);
    mine.strMediaName[6] = kUserMediumJapanese;
    series.aMediaInfoList.push_back(mine);
    DeviceSeriesIO2 writer(planted.string());
    writer.takeDocumentVersion(reader);
    if (!writer.SaveDocument(series)) {
      failure = writer.lastError();
      return;
    }
    description = readFile(planted);
    systemReg = readFile(installed / "system.reg");
    userReg = readFile(installed / "user.reg");
  }
};

Inputs& inputs() {
  static Inputs instance;
  return instance;
}

// ---- Cases ---------------------------------------------------------------------------------------------

enum class Outcome {
  Merged,        // read: merged with the new description, the user's medium kept (exit 0)
  Replaced,      // not well-formed XML: the new description written in its place, the original kept as
                 // P.unmerged and announced (exit 0)
  Kept,          // left as it is, nothing installed (exit 1): XML that is no readable description, or a
                 // file the project does not read (an encoding it does not read, a declaration of
                 // entities, a size beyond any description's): it may hold the user's media
  HostFound,     // registry: the run happens and writes everything (exit 0)
  HostNotFound,  // registry: nothing is written (exit 3)
  RunFails,      // registry: the host is found but its folder cannot be used; nothing written outside it (exit 1)
};

enum class Place { Description, SystemReg, UserReg, BothRegs };

struct Case {
  const char* name;
  Place place;
  std::function<std::string(const Inputs&)> content;
  Outcome outcome;
  // Merged: a name the user's medium must carry afterwards (slot, text); slot -1 for none beyond English.
  int slot = 6;
  std::string slotText = kUserMediumJapanese;
};

std::string doc(const Inputs& in) { return in.description; }

std::string installPathLine(const std::string& value) { return "\"InstallPath\"=" + value; }
const std::string kInstallPath = "\"C:\\\\Program Files (x86)\\\\Tarvel\\\\Tarvel Tessaprint Dual\\\\\"";

std::string withInstallPath(const Inputs& in, const std::string& value) {
  return replaced(in.systemReg, installPathLine(kInstallPath), installPathLine(value));
}

const std::vector<Case>& catalogue() {
  static const std::vector<Case> cases = {
      // Descriptions: as written, and cut short.
      {"DescriptionAsSaved", Place::Description, doc, Outcome::Merged},
      {"TruncatedToHalf", Place::Description, [](const Inputs& in) { return doc(in).substr(0, doc(in).size() / 2); },
       Outcome::Replaced},
      {"TruncatedTo1024Bytes", Place::Description, [](const Inputs& in) { return doc(in).substr(0, 1024); },
       Outcome::Replaced},
      {"TruncatedTo1023BytesIsWrittenPlainly", Place::Description,
       [](const Inputs& in) { return doc(in).substr(0, 1023); }, Outcome::Replaced},
      {"TruncatedBeforeTheLastTag", Place::Description,
       [](const Inputs& in) { return doc(in).substr(0, doc(in).rfind("</DeviceSeries>")); }, Outcome::Replaced},
      {"EmptyButLarge", Place::Description, [](const Inputs&) { return std::string(4096, ' '); }, Outcome::Replaced},
      {"BinaryNoise", Place::Description,
       [](const Inputs&) {
         std::string noise(8192, '\0');
         std::uint32_t x = 12345;
         for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
         return noise;
       },
       Outcome::Replaced},
      // Characters.
      {"InvalidUtf8Byte", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "\xFF"); }, Outcome::Replaced},
      {"OverlongUtf8", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "\xC0\xAF"); }, Outcome::Replaced},
      {"Utf8Surrogate", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "\xED\xA0\x80"); }, Outcome::Replaced},
      {"Utf8TruncatedSequence", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "\xE3\x83"); }, Outcome::Replaced},
      {"NulByteInText", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, std::string("a\0b", 3)); },
       Outcome::Replaced},
      {"ControlCharacterInText", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "a\x01" "b"); }, Outcome::Replaced},
      {"NulCharacterReference", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "a&#0;b"); }, Outcome::Replaced},
      {"CharacterReferencesReadAsText", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "&#x30E6;&#12540;&amp;&lt;"); },
       Outcome::Merged, 6, "ユー&<"},
      // Encodings.
      {"Utf8ByteOrderMark", Place::Description, [](const Inputs& in) { return "\xEF\xBB\xBF" + doc(in); },
       Outcome::Merged},
      {"Utf16LittleEndianWithByteOrderMark", Place::Description,
       [](const Inputs& in) {
         return toUtf16(withDeclaration(doc(in), "<?xml version='1.0' encoding='UTF-16'?>"), false, true);
       },
       Outcome::Merged},
      {"Utf16BigEndianWithByteOrderMark", Place::Description,
       [](const Inputs& in) {
         return toUtf16(withDeclaration(doc(in), "<?xml version='1.0' encoding='UTF-16'?>"), true, true);
       },
       Outcome::Merged},
      {"Utf16WithoutByteOrderMark", Place::Description,
       [](const Inputs& in) {
         return toUtf16(withDeclaration(doc(in), "<?xml version='1.0' encoding='UTF-16'?>"), false, false);
       },
       Outcome::Merged},
      {"Utf16OddLength", Place::Description,
       [](const Inputs& in) { return toUtf16(doc(in), false, true) + "x"; }, Outcome::Kept},
      {"Utf16UnpairedSurrogate", Place::Description,
       [](const Inputs& in) {
         std::string bytes = toUtf16(doc(in), false, true);
         return bytes.replace(bytes.size() / 2 & ~std::size_t{1}, 2, "\x00\xD8", 2);
       },
       Outcome::Kept},
      {"Utf16DeclaringUtf8", Place::Description, [](const Inputs& in) { return toUtf16(doc(in), false, true); },
       Outcome::Kept},
      {"Utf32", Place::Description,
       [](const Inputs& in) { return std::string("\xFF\xFE\0\0", 4) + toUtf16(doc(in), false, false); },
       Outcome::Kept},
      {"Windows1252", Place::Description,
       [](const Inputs& in) {
         std::string text = withDeclaration(asciiOnly(doc(in)), "<?xml version='1.0' encoding='windows-1252'?>");
         return replaced(text, "<French>" + kUserMedium + "</French>", "<French>Caf\xE9 \x80</French>");
       },
       Outcome::Merged, 3, "Café €"},
      {"Windows1252UndefinedByte", Place::Description,
       [](const Inputs& in) {
         std::string text = withDeclaration(asciiOnly(doc(in)), "<?xml version='1.0' encoding='windows-1252'?>");
         return replaced(text, "<French>" + kUserMedium + "</French>", "<French>\x81</French>");
       },
       Outcome::Kept},
      {"Latin1", Place::Description,
       [](const Inputs& in) {
         std::string text = withDeclaration(asciiOnly(doc(in)), "<?xml version='1.0' encoding='ISO-8859-1'?>");
         return replaced(text, "<French>" + kUserMedium + "</French>", "<French>na\xEFve</French>");
       },
       Outcome::Merged, 3, "naïve"},
      {"ShiftJis", Place::Description,
       [](const Inputs& in) {
         std::string text = withDeclaration(asciiOnly(doc(in)), "<?xml version='1.0' encoding='Shift_JIS'?>");
         return replaced(text, "<Japanese>?</Japanese>", "<Japanese>\x83\x86\x81\x5B\x83\x55</Japanese>");
       },
       Outcome::Kept},  // an encoding this DOM does not read may hold a good description: kept
      // Hostile markup.
      {"BillionLaughs", Place::Description,
       [](const Inputs& in) {
         std::string dtd = "<!DOCTYPE DeviceSeries [<!ENTITY l0 \"ha\">";
         for (int i = 1; i <= 9; ++i)
           dtd += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
             std::string ten;
             for (int k = 0; k < 10; ++k) ten += "&l" + std::to_string(i - 1) + ";";
             return ten;
           }() + "\">";
         dtd += "]>";
         std::string text = replaced(doc(in), "<DeviceSeries ", dtd + "<DeviceSeries ");
         return replaced(text, kUserMediumJapanese, "&l9;");
       },
       Outcome::Kept},
      {"ExternalEntityFile", Place::Description,
       [](const Inputs& in) {
         std::string text = replaced(doc(in), "<DeviceSeries ",
                                     "<!DOCTYPE DeviceSeries [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><DeviceSeries ");
         return replaced(text, kUserMediumJapanese, "&x;");
       },
       Outcome::Kept},
      {"ExternalEntityNetwork", Place::Description,
       [](const Inputs& in) {
         std::string text = replaced(
             doc(in), "<DeviceSeries ",
             "<!DOCTYPE DeviceSeries SYSTEM \"http://192.0.2.1/x.dtd\" [<!ENTITY % p SYSTEM \"http://192.0.2.1/p\"> %p;]><DeviceSeries ");
         return text;
       },
       Outcome::Kept},
      // Document type declarations: one that only names the root is read; any other is kept, never
      // replaced (it is well-formed, and its content unknown).
      {"BareDoctype", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<DeviceSeries ", "<!DOCTYPE DeviceSeries>\n<DeviceSeries "); },
       Outcome::Merged},
      {"BareDoctypeWithSpaces", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<DeviceSeries ", "<!DOCTYPE \t DeviceSeries \n>\n<DeviceSeries "); },
       Outcome::Merged},
      {"DoctypeWithEmptyInternalSubset", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<DeviceSeries ", "<!DOCTYPE DeviceSeries []><DeviceSeries "); },
       Outcome::Kept},
      {"DoctypeWithSystemIdentifier", Place::Description,
       [](const Inputs& in) {
         return replaced(doc(in), "<DeviceSeries ", "<!DOCTYPE DeviceSeries SYSTEM \"DeviceSeries.dtd\"><DeviceSeries ");
       },
       Outcome::Kept},
      {"CharacterReferenceWithLeadingZeros", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "&#x0000000030E6;&#000000012540;"); },
       Outcome::Merged, 6, "ユー"},
      {"UndeclaredEntity", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "&nbsp;"); }, Outcome::Replaced},
      {"DeepNestingAsRoot", Place::Description,
       [](const Inputs&) { return "<?xml version='1.0'?>" + nested(100000); }, Outcome::Kept},
      {"DeepNestingInAnUnknownElement", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "</DeviceSeries>", nested(100000) + "</DeviceSeries>"); },
       Outcome::Merged},
      {"DeepNestingInAMediaName", Place::Description,
       [](const Inputs& in) {
         return replaced(doc(in), "<Korean>" + kUserMedium + "</Korean>", "<Korean>" + nested(100000) + "</Korean>");
       },
       Outcome::Merged, 7, "x"},
      {"UnclosedDeepNesting", Place::Description,
       [](const Inputs&) { return "<?xml version='1.0'?>" + std::string(300000, '<').replace(0, 0, "<a>"); },
       Outcome::Replaced},
      {"TextAfterTheRoot", Place::Description, [](const Inputs& in) { return doc(in) + "trailing text"; },
       Outcome::Replaced},
      {"SecondRootElement", Place::Description, [](const Inputs& in) { return doc(in) + "<DeviceSeries/>"; },
       Outcome::Replaced},
      {"UnclosedCData", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), kUserMediumJapanese, "<![CDATA[x"); }, Outcome::Replaced},
      {"CommentAndInstructionBeforeTheRoot", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<DeviceSeries ", "<!-- c --><?app x?>\n<DeviceSeries "); },
       Outcome::Merged},
      // Frame.
      {"OtherRootElement", Place::Description,
       [](const Inputs&) { return padded("<?xml version='1.0'?><MediaTable strVersion='1.0.0.0'><a/></MediaTable>"); },
       Outcome::Kept},
      {"RootNameInOtherCase", Place::Description,
       [](const Inputs& in) {
         return replaced(replaced(doc(in), "<DeviceSeries ", "<deviceseries "), "</DeviceSeries>", "</deviceseries>");
       },
       Outcome::Kept},
      {"NoVersionAttribute", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "strVersion=", "strVersionX="); }, Outcome::Kept},
      {"VersionOutOfRange", Place::Description,
       [](const Inputs& in) {
         const std::size_t at = doc(in).find("strVersion=") + 12;
         std::string text = doc(in);
         return text.replace(at, text.find(text[at - 1], at) - at, "99999999999.-5.x.2147483648");
       },
       Outcome::Merged},
      // Values.
      {"IntegersFarOutOfRange", Place::Description,
       [](const Inputs& in) {
         std::string text = replaced(doc(in), "<nDefaultLevel>", "<nDefaultLevel>99999999999999999999999", true);
         return replaced(text, "<nDryTime>", "<nDryTime>-99999999999999999999999", true);
       },
       Outcome::Merged},
      {"FloatsFarOutOfRange", Place::Description,
       [](const Inputs& in) {
         std::string text = replaced(doc(in), "<flCutOffset>", "<flCutOffset>1e300", true);
         text = replaced(text, "<flNormalCutForceRange>", "<flNormalCutForceRange>-1e999999", true);
         return replaced(text, "<flDeepCutForceRange>", "<flDeepCutForceRange>nan", true);
       },
       Outcome::Merged},
      {"IndexNamingNoSeparation", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<nSeparationIndex>", "<nSeparationIndex>2147483647", true); },
       Outcome::Merged},
      {"BadEscapeInACommand", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<strInitialize>", "<strInitialize>\\q"); }, Outcome::Kept},
      {"Base64TableWithNoise", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<usOutputTable>", "<usOutputTable>*!~@", true); },
       Outcome::Merged},
      {"Base64TableCutShort", Place::Description,
       [](const Inputs& in) { return replaced(doc(in), "<usOutputTable>", "<usOutputTable>A", true); },
       Outcome::Kept},
      // Far beyond any description: refused by its size before it is read whole, and kept.
      {"HundredMegabytes", Place::Description,
       [](const Inputs& in) {
         std::string text = doc(in);
         std::string comment = "<!--";
         comment.append(100u << 20, 'x');
         comment += "-->";
         return replaced(text, "</DeviceSeries>", comment + "</DeviceSeries>");
       },
       Outcome::Kept},
      // Registry files.
      {"RegistryEmpty", Place::BothRegs, [](const Inputs&) { return std::string(); }, Outcome::HostNotFound},
      {"RegistryWithoutHeader", Place::SystemReg,
       [](const Inputs& in) { return in.systemReg.substr(in.systemReg.find('\n') + 1); }, Outcome::HostNotFound},
      {"RegistryTruncatedInTheInstallPath", Place::SystemReg,
       [](const Inputs& in) { return in.systemReg.substr(0, in.systemReg.find("Tarvel Tessaprint Dual\\\\\"")); },
       Outcome::HostNotFound},
      {"RegistryTruncatedBeforeTheUserKey", Place::SystemReg,
       [](const Inputs& in) { return in.systemReg.substr(0, in.systemReg.find("Dual\\\\User]")); },
       Outcome::HostNotFound},
      {"RegistryKeyLineNotClosed", Place::SystemReg,
       [](const Inputs& in) { return replaced(in.systemReg, "Dual\\\\Installer]", "Dual\\\\Installer"); },
       Outcome::HostNotFound},
      {"RegistryBinaryNoise", Place::BothRegs,
       [](const Inputs&) {
         std::string noise = "WINE REGISTRY Version 2\n";
         std::uint32_t x = 99;
         for (int i = 0; i < 65536; ++i) noise += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
         return noise;
       },
       Outcome::HostNotFound},
      {"RegistryWithNulBytes", Place::SystemReg,
       [](const Inputs& in) { return replaced(in.systemReg, "Tarvel Imaging", std::string("Tar\0vel", 7)); },
       Outcome::HostFound},
      {"RegistryCrLfLines", Place::SystemReg, [](const Inputs& in) { return replaced(in.systemReg, "\n", "\r\n", true); },
       Outcome::HostFound},
      {"RegistryNamesInOtherCase", Place::SystemReg,
       [](const Inputs& in) {
         return replaced(replaced(in.systemReg, "Tarvel Tessaprint Dual\\\\Installer", "TARVEL TESSAPRINT DUAL\\\\installer"),
                         "\"InstallPath\"", "\"installpath\"");
       },
       Outcome::HostFound},
      {"RegistryInstallPathWithEscapes", Place::SystemReg,
       [](const Inputs& in) {
         return withInstallPath(in, "\"\\x0043:\\\\Program Files (x86)\\\\Tarvel\\\\Tarvel Tessaprint Dual\\134\"");
       },
       Outcome::HostFound},
      {"RegistryInstallPathAsUtf16Hex", Place::SystemReg,
       [](const Inputs& in) {
         std::string path = "C:\\Program Files (x86)\\Tarvel\\Tarvel Tessaprint Dual\\";
         std::string hex = "hex(1):";
         for (const char c : path) {
           char byte[8];
           std::snprintf(byte, sizeof byte, "%02x,00,", static_cast<unsigned char>(c));
           hex += byte;
         }
         return withInstallPath(in, hex + "00,00");
       },
       Outcome::HostFound},
      {"RegistryInstallPathExpandable", Place::SystemReg,
       [](const Inputs& in) { return withInstallPath(in, "str(2):" + kInstallPath); }, Outcome::HostNotFound},
      {"RegistryInstallPathAsDword", Place::SystemReg,
       [](const Inputs& in) { return withInstallPath(in, "dword:00000001"); }, Outcome::HostNotFound},
      {"RegistryInstallPathAsBinary", Place::SystemReg,
       [](const Inputs& in) { return withInstallPath(in, "hex:43,3a,5c"); }, Outcome::HostNotFound},
      {"RegistryInstallPathTooLong", Place::SystemReg,
       [](const Inputs& in) { return withInstallPath(in, "\"C:\\\\" + std::string(2000, 'a') + "\\\\\""); },
       Outcome::HostNotFound},
      {"RegistryInstallPathWithoutTrailingSeparator", Place::SystemReg,
       [](const Inputs& in) {
         return withInstallPath(in, "\"C:\\\\Program Files (x86)\\\\Tarvel\\\\Tarvel Tessaprint Dual\"");
       },
       Outcome::RunFails},
      {"RegistryInstallPathOnAnUnmappedDrive", Place::SystemReg,
       // A folder on a drive the prefix does not have is not there: one line, nothing written (exit 3).
       [](const Inputs& in) { return withInstallPath(in, "\"Q:\\\\Tarvel\\\\\""); }, Outcome::HostNotFound},
      {"RegistryUserSettingsOfEveryType", Place::SystemReg,
       [](const Inputs& in) {
         std::string text = replaced(in.systemReg, "\"InkConfig\"=\"DURA-UV4 CMYK\"", "\"InkConfig\"=dword:ffffffff");
         text = replaced(text, "\"Language\"=\"English\"", "\"Language\"=hex(7):41,00,00,00,00,00");
         return replaced(text, "\"Model\"=\"Nexlume Q7\"", "\"Model\"=str(2):\"%SystemRoot%\\\\x\"");
       },
       Outcome::HostFound},
      {"RegistryValuesMalformed", Place::SystemReg,
       [](const Inputs& in) {
         return in.systemReg + "\n[Software\\\\X]\n\"a\"=dword:123456789\n\"b\"=hex:zz,01\n\"c\"=str(\"x\"\n\"d\"=\"unterminated\n"
                               "\"e\"=hex(ffffffffff):01\n\"f\"=hex:01,\\\n";
       },
       Outcome::HostFound},
      {"RegistryWin32PrefixWithoutRedirection", Place::SystemReg,
       [](const Inputs& in) { return replaced(in.systemReg, "#arch=win64", "#arch=win32"); }, Outcome::HostNotFound},
      {"RegistryHuge", Place::SystemReg,
       [](const Inputs& in) {
         std::string text = in.systemReg;
         text.reserve(text.size() + (64u << 20));
         for (int key = 0; text.size() < (64u << 20); ++key) {
           text += "\n[Software\\\\Bulk\\\\Key" + std::to_string(key) + "] 1\n";
           for (int value = 0; value < 20; ++value)
             text += "\"Value" + std::to_string(value) + "\"=hex:" + std::string(3 * 40, '0').replace(0, 0, "") + "\n";
         }
         return text;
       },
       Outcome::HostFound},
  };
  return cases;
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class BadInput : public ::testing::TestWithParam<Case> {};

std::vector<std::string> scratchFilesIn(const fs::path& folder) {
  std::vector<std::string> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".tmp") || name.ends_with(".out")) found.push_back(name);
  }
  return found;
}

TEST_P(BadInput, HasItsDefinedOutcome) {
  const Inputs& in = inputs();
  ASSERT_TRUE(in.failure.empty()) << in.failure;
  const Case& c = GetParam();
  TempFolder folder;
  const fs::path prefix = folder / "prefix";
  copyTree(in.installed, prefix);
  const fs::path target = prefix / kDeviceFolder / kTarget;
  const std::string content = c.content(in);
  switch (c.place) {
    case Place::Description:
      writeFile(target, content);
      break;
    case Place::SystemReg:
      writeFile(prefix / "system.reg", content);
      break;
    case Place::UserReg:
      writeFile(prefix / "user.reg", content);
      break;
    case Place::BothRegs:
      writeFile(prefix / "system.reg", content);
      writeFile(prefix / "user.reg", content);
      break;
  }
  const Snapshot before = snapshot(prefix);

  const RunResult run = runInstaller(kSmallSetupExe, prefix, {}, {"--verbose"}, -1, 120);
  ASSERT_FALSE(run.timedOut) << "the run hung";
  ASSERT_EQ(run.signal, 0) << "the run crashed:\n" << run.errors;

  const Snapshot after = snapshot(prefix);
  // Whatever the program wrote is UTF-8 where it is a description.
  for (const auto& [path, bytes] : after) {
    const auto old = before.find(path);
    if (path.ends_with(".dsr") && (old == before.end() || old->second != bytes)) {
      EXPECT_TRUE(isValidUtf8(bytes)) << path << " was written as invalid UTF-8";
    }
  }
  EXPECT_TRUE(scratchFilesIn(prefix / kDeviceFolder).empty()) << scratchFilesIn(prefix / kDeviceFolder).front();

  const std::string now = readFile(target);
  switch (c.outcome) {
    case Outcome::Merged: {
      EXPECT_EQ(run.exitCode, 0) << run.errors;
      DeviceSeries merged;
      DeviceSeriesIO2 io(target.string());
      ASSERT_TRUE(io.LoadDocumentWithFallback(merged)) << io.lastError();
      const auto mine = std::find_if(merged.aMediaInfoList.begin(), merged.aMediaInfoList.end(),
                                     [](const MediaInfo& m) { return m.strMediaName[0] == kUserMedium; });
      ASSERT_NE(mine, merged.aMediaInfoList.end()) << "the user's medium is lost\n" << run.errors;
      if (c.slot >= 0) {
        EXPECT_EQ(mine->strMediaName[static_cast<std::size_t>(c.slot)], c.slotText);
      }
      EXPECT_LT(now.size(), 10u << 20) << "the merged description kept what it could not read";
      break;
    }
    case Outcome::Replaced: {
      EXPECT_EQ(run.exitCode, 0) << run.errors;
      EXPECT_TRUE(now == in.newDescription) << "not replaced by the new description\n" << run.errors;
      // A file long enough to be merged is kept aside for good, and the replacement announced.
      if (content.size() >= 1024) {
        const fs::path unmerged = target.string() + ".unmerged";
        EXPECT_TRUE(fs::exists(unmerged) && readFile(unmerged) == content) << "the original is lost\n" << run.errors;
        EXPECT_NE(run.errors.find("not merged: the installed file is not well-formed XML (line "), std::string::npos)
            << run.errors;
      }
      break;
    }
    case Outcome::Kept:
      EXPECT_EQ(run.exitCode, 1) << run.errors;
      EXPECT_TRUE(now == content) << "the unreadable description was changed\n" << run.errors;
      EXPECT_NE(run.errors.find("kept "), std::string::npos) << run.errors;
      break;
    case Outcome::HostFound:
      EXPECT_EQ(run.exitCode, 0) << run.errors;
      break;
    case Outcome::HostNotFound:
      EXPECT_EQ(run.exitCode, 3) << run.errors;
      EXPECT_EQ(after, before) << "a run without a host wrote something";
      break;
    case Outcome::RunFails:
      EXPECT_EQ(run.exitCode, 1) << run.errors;
      EXPECT_EQ(after, before) << "a run whose folders cannot be mapped wrote into the host";
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInput, ::testing::ValuesIn(catalogue()),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace reliability
