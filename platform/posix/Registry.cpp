// The registry of a Wine prefix: system.reg is HKEY_LOCAL_MACHINE, user.reg HKEY_CURRENT_USER.
// The files are Wine's text format:
//   WINE REGISTRY Version 2
//   #arch=win64
//   [Software\\Tarvel\\Tarvel Tessaprint Dual] 1700000000
//   "InstallPath"="C:\\Program Files\\Tarvel\\"
//   "Count"=dword:00000010
//   "Blob"=hex:01,02,\ (continued on the next line)
//     03
//   @=str(2):"%SystemRoot%\\x"
// Strings use Wine's escapes (\\ \" \n \t ... \xHHHH for one UTF-16 unit, \ooo octal). String
// data is handed out as the ANSI API would with UTF-8 as its code page: UTF-16 becomes UTF-8.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/Text.h"

namespace platform {
namespace {

struct Value {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;  // as RegQueryValueExA delivers it
};

using ValueMap = std::unordered_map<std::string, Value>;  // folded value name -> value

// The largest registry file read. A real prefix's system.reg is a few megabytes; anything far larger
// (or endless, as a device is) is not one, and reading it could exhaust memory.
constexpr off_t kMaxHiveBytes = off_t{256} << 20;

struct Hive {
  bool loaded = false;   // the file exists and starts with the Wine header
  bool exists = false;   // the file exists
  std::string problem;   // why an existing file was not read, or empty
  bool win64 = false;    // "#arch=win64": 32-bit programs see Software through Wow6432Node
  std::unordered_map<std::string, ValueMap> keys;  // folded path ("SOFTWARE\\TARVEL") -> values
};

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// Parses an escaped string starting at line[pos] up to the unescaped `endChar`; pos is left after
// it. Returns false when the line ends first.
bool parseWineString(std::string_view line, std::size_t& pos, char endChar, std::vector<std::uint16_t>& out) {
  std::string plain;  // UTF-8 run between escapes
  auto flushPlain = [&] {
    auto units = text::utf8ToUtf16(plain);
    out.insert(out.end(), units.begin(), units.end());
    plain.clear();
  };
  while (pos < line.size()) {
    char c = line[pos];
    if (c == endChar) {
      flushPlain();
      ++pos;
      return true;
    }
    if (c != '\\') {
      plain += c;
      ++pos;
      continue;
    }
    if (++pos >= line.size()) break;
    char e = line[pos];
    static const std::string_view kLetters = "abefnrtv";
    static const char kControls[] = {'\a', '\b', '\x1b', '\f', '\n', '\r', '\t', '\v'};
    if (auto letter = kLetters.find(e); letter != std::string_view::npos) {
      flushPlain();
      out.push_back(static_cast<std::uint16_t>(kControls[letter]));
      ++pos;
    } else if (e == 'x') {
      std::size_t digits = 0;
      unsigned value = 0;
      while (digits < 4 && pos + 1 + digits < line.size() && isHexDigit(line[pos + 1 + digits])) {
        value = value * 16 + static_cast<unsigned>(hexValue(line[pos + 1 + digits]));
        ++digits;
      }
      flushPlain();
      out.push_back(digits ? static_cast<std::uint16_t>(value) : std::uint16_t{'x'});
      pos += 1 + digits;
    } else if (e >= '0' && e <= '7') {
      unsigned value = 0;
      std::size_t digits = 0;
      while (digits < 3 && pos + digits < line.size() && line[pos + digits] >= '0' && line[pos + digits] <= '7') {
        value = value * 8 + static_cast<unsigned>(line[pos + digits] - '0');
        ++digits;
      }
      flushPlain();
      out.push_back(static_cast<std::uint16_t>(value));
      pos += digits;
    } else {
      plain += e;  // \\ \" \[ \] and any other character stand for themselves
      ++pos;
    }
  }
  return false;
}

// "01,ab,ff" (whitespace allowed around the bytes); false on anything else.
bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& out) {
  std::size_t pos = 0;
  auto skipSpace = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  skipSpace();
  if (pos == text.size()) return true;
  while (true) {
    skipSpace();
    unsigned value = 0;
    std::size_t digits = 0;
    while (digits < 2 && pos < text.size() && isHexDigit(text[pos])) {
      value = value * 16 + static_cast<unsigned>(hexValue(text[pos++]));
      ++digits;
    }
    if (digits == 0) return false;
    out.push_back(static_cast<std::uint8_t>(value));
    skipSpace();
    if (pos == text.size()) return true;
    if (text[pos++] != ',') return false;
  }
}

bool isStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// One to eight hexadecimal digits, a 32-bit number.
bool parseHexNumber(std::string_view digits, std::uint32_t& n) {
  if (digits.empty() || digits.size() > 8) return false;
  n = 0;
  for (char c : digits) {
    if (!isHexDigit(c)) return false;
    n = n * 16 + static_cast<std::uint32_t>(hexValue(c));
  }
  return true;
}

// The type N of "str(N):" or "hex(N):" at the start of `data`, and where the value starts after it.
bool parseTypeTag(std::string_view data, std::uint32_t& type, std::size_t& pos) {
  const std::size_t close = data.find("):", 4);
  if (close == std::string_view::npos || !parseHexNumber(data.substr(4, close - 4), type)) return false;
  pos = close + 2;
  return true;
}

// The data after '=': a quoted string, str:, str(N):, dword:, hex:, hex(N):.
bool parseValueData(std::string_view data, Value& value) {
  std::size_t pos = 0;
  std::uint32_t type = kRegSz;
  bool quoted = false;
  if (data.starts_with("\"")) {
    quoted = true;
  } else if (data.starts_with("str:\"")) {
    pos = 4;
    quoted = true;
  } else if (data.starts_with("str(")) {
    if (!parseTypeTag(data, type, pos) || !data.substr(pos).starts_with("\"")) return false;
    quoted = true;
  }
  if (quoted) {
    std::vector<std::uint16_t> units;
    ++pos;
    if (!parseWineString(data, pos, '"', units)) return false;
    units.push_back(0);  // Wine stores the terminating zero with the string
    value.type = type;
    if (isStringType(type)) {
      std::string utf8 = text::utf16ToUtf8(units);
      value.data.assign(utf8.begin(), utf8.end());
    } else {
      for (std::uint16_t unit : units) {
        value.data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        value.data.push_back(static_cast<std::uint8_t>(unit >> 8));
      }
    }
    return true;
  }
  if (data.starts_with("dword:")) {
    std::string_view digits = data.substr(6);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
    std::uint32_t n = 0;
    if (!parseHexNumber(digits, n)) return false;
    value.type = kRegDword;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    return true;
  }
  std::string_view hex;
  if (data.starts_with("hex:")) {
    type = kRegBinary;
    hex = data.substr(4);
  } else if (data.starts_with("hex(")) {
    std::size_t start = 0;
    if (!parseTypeTag(data, type, start)) return false;
    hex = data.substr(start);
  } else {
    return false;
  }
  std::vector<std::uint8_t> bytes;
  if (!parseHexBytes(hex, bytes)) return false;
  value.type = type;
  if (isStringType(type)) {  // UTF-16LE in the file
    std::string utf8 = text::utf16LeBytesToUtf8(bytes.data(), bytes.size());
    value.data.assign(utf8.begin(), utf8.end());
  } else {
    value.data = std::move(bytes);
  }
  return true;
}

// "A\\B\\C" -> "A\\B\\C" folded, without empty components; the key path form used as map key.
std::string normaliseKeyPath(std::string_view path) {
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out += text::foldCase(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

void addKeyWithParents(Hive& hive, const std::string& folded) {
  for (std::size_t sep = folded.find('\\'); sep != std::string::npos; sep = folded.find('\\', sep + 1)) {
    hive.keys.try_emplace(folded.substr(0, sep));
  }
  hive.keys.try_emplace(folded);
}

// The content of a registry file: a regular file of at most kMaxHiveBytes, opened without waiting
// (a FIFO in its place would block an ordinary open for ever). Nothing, with `problem` set, otherwise.
std::optional<std::string> readHiveFile(const std::string& file, bool& exists, std::string& problem) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  exists = fd >= 0 || errno != ENOENT;
  if (fd < 0) {
    if (exists) problem = std::string("cannot be opened: ") + std::strerror(errno);
    return std::nullopt;
  }
  std::optional<std::string> content;
  struct stat info{};
  if (::fstat(fd, &info) != 0) {
    problem = std::string("cannot be examined: ") + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = "is not a regular file";
  } else if (info.st_size > kMaxHiveBytes) {
    problem = "is larger than " + std::to_string(kMaxHiveBytes >> 20) + " MiB";
  } else {
    content.emplace(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t filled = 0;
    while (filled < content->size()) {
      const ssize_t n = ::read(fd, content->data() + filled, content->size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        problem = std::string("cannot be read: ") + std::strerror(errno);
        content.reset();
        break;
      }
      if (n == 0) break;  // shrunk meanwhile: what is there is the file
      filled += static_cast<std::size_t>(n);
    }
    if (content) content->resize(filled);
  }
  ::close(fd);
  return content;
}

Hive loadHive(const std::string& file) {
  Hive hive;
  std::optional<std::string> content = readHiveFile(file, hive.exists, hive.problem);
  if (!content) return hive;
  const std::string& all = *content;

  std::vector<std::string_view> lines;
  std::string_view rest(all);
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (lines.empty() || !lines[0].starts_with("WINE REGISTRY Version 2")) return hive;
  hive.loaded = true;
  hive.keys.try_emplace(std::string());  // the root key itself

  ValueMap* current = nullptr;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '#') {
      if (line == "#arch=win64") hive.win64 = true;
      continue;
    }
    if (line.front() == '[') {
      std::size_t pos = 1;
      std::vector<std::uint16_t> units;
      current = nullptr;
      if (!parseWineString(line, pos, ']', units)) continue;  // a broken key line: skip its values
      std::string folded = normaliseKeyPath(text::utf16ToUtf8(units));
      addKeyWithParents(hive, folded);
      current = &hive.keys[folded];
      continue;
    }
    if (line.front() != '"' && line.front() != '@') continue;
    std::string name;
    std::size_t pos = 1;
    if (line.front() == '"') {
      std::vector<std::uint16_t> units;
      if (!parseWineString(line, pos, '"', units)) continue;
      name = text::utf16ToUtf8(units);
    }
    if (pos >= line.size() || line[pos] != '=') continue;
    std::string data(line.substr(pos + 1));
    // hex data continues on the next line after a trailing backslash
    while (data.starts_with("hex") && data.ends_with('\\') && i + 1 < lines.size()) {
      data.pop_back();
      std::string_view next = lines[++i];
      while (!next.empty() && (next.front() == ' ' || next.front() == '\t')) next.remove_prefix(1);
      data += next;
    }
    Value value;
    if (current != nullptr && parseValueData(data, value)) {
      (*current)[text::foldCase(name)] = std::move(value);
    }
  }
  return hive;
}

struct RegistryState {
  std::string prefix;
  bool prefixSet = false;
  std::shared_ptr<const Hive> machine;
  std::shared_ptr<const Hive> user;
};

RegistryState& state() {
  static RegistryState instance;
  return instance;
}

void ensureLoaded() {
  RegistryState& s = state();
  if (!s.prefixSet || s.machine) return;
  s.machine = std::make_shared<const Hive>(loadHive(s.prefix + "/system.reg"));
  s.user = std::make_shared<const Hive>(loadHive(s.prefix + "/user.reg"));
}

class WineRegistryKey : public RegistryKey {
 public:
  WineRegistryKey(std::shared_ptr<const Hive> hive, const ValueMap* values) : hive_(std::move(hive)), values_(values) {}

  QueryStatus query(std::string_view name, std::uint8_t* buffer, std::uint32_t& size,
                    std::uint32_t& type) const override {
    auto found = values_->find(text::foldCase(name));
    if (found == values_->end()) return QueryStatus::NotFound;
    const Value& value = found->second;
    auto needed = static_cast<std::uint32_t>(value.data.size());
    type = value.type;
    if (buffer != nullptr && needed > size) {
      size = needed;
      return QueryStatus::MoreData;
    }
    if (buffer != nullptr && needed > 0) std::copy(value.data.begin(), value.data.end(), buffer);
    size = needed;
    return QueryStatus::Ok;
  }

 private:
  std::shared_ptr<const Hive> hive_;  // keeps the values alive after a reload
  const ValueMap* values_;
};

std::unique_ptr<RegistryKey> openIn(const std::shared_ptr<const Hive>& hive, const std::string& folded) {
  if (!hive || !hive->loaded) return nullptr;
  auto found = hive->keys.find(folded);
  if (found == hive->keys.end()) return nullptr;
  return std::make_unique<WineRegistryKey>(hive, &found->second);
}

}  // namespace

std::unique_ptr<RegistryKey> openRegistryKey(RegistryRoot root, std::string_view path) {
  ensureLoaded();
  RegistryState& s = state();
  std::string folded = normaliseKeyPath(path);
  if (root == RegistryRoot::CurrentUser) return openIn(s.user, folded);  // HKCU\Software is shared

  if (root == RegistryRoot::ClassesRoot) folded = folded.empty() ? "SOFTWARE\\CLASSES" : "SOFTWARE\\CLASSES\\" + folded;
  if (!s.machine || !s.machine->win64) return openIn(s.machine, folded);

  // The 32-bit view of a 64-bit prefix: Software\X lives in Software\Wow6432Node\X; class
  // registrations of 32-bit servers in Software\Classes\Wow6432Node, the rest of Classes is shared.
  static const std::string kSoftware = "SOFTWARE";
  static const std::string kClasses = "SOFTWARE\\CLASSES";
  static const std::string kWow = "SOFTWARE\\WOW6432NODE";
  auto isOrUnder = [&](const std::string& base) {
    return folded == base || (folded.size() > base.size() && folded.starts_with(base) && folded[base.size()] == '\\');
  };
  if (isOrUnder(kWow)) return openIn(s.machine, folded);
  if (isOrUnder(kClasses)) {
    std::string redirected = kClasses + "\\WOW6432NODE" + folded.substr(kClasses.size());
    if (auto key = openIn(s.machine, redirected)) return key;
    return openIn(s.machine, folded);
  }
  if (isOrUnder(kSoftware)) return openIn(s.machine, kWow + folded.substr(kSoftware.size()));
  return openIn(s.machine, folded);
}

void setRegistryPrefix(const std::string& prefixFolder) {
  RegistryState& s = state();
  s.prefix = prefixFolder;
  s.prefixSet = true;
  s.machine.reset();
  s.user.reset();
}

std::string registryLoadNote() {
  ensureLoaded();
  RegistryState& s = state();
  if (!s.prefixSet) return "no Wine prefix set";
  std::string note;
  auto describe = [&](const std::shared_ptr<const Hive>& hive, const char* file) {
    if (hive->loaded) return;
    if (!note.empty()) note += "; ";
    note += s.prefix + "/" + file + " " +
            (!hive->exists ? std::string("is missing") : !hive->problem.empty() ? hive->problem : "is not a Wine registry file");
  };
  describe(s.machine, "system.reg");
  describe(s.user, "user.reg");
  return note;
}

}  // namespace platform
