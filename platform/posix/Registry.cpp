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
//
// A file is read in chunks and parsed line by line into one block of bytes (folded key paths,
// folded value names, value data) and two tables of fixed-size entries into it, so that a hive
// takes little more memory than its file: a prefix's registry may run to tens of megabytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/Text.h"

namespace platform {
namespace {

// The largest registry file read. A real prefix's system.reg is a few megabytes; anything far larger
// (or endless, as a device is) is not one, and reading it could exhaust memory.
constexpr off_t kMaxHiveBytes = off_t{256} << 20;

// A place or a length in a hive's bytes, or a number of entries. 32 bits suffice: no byte of a file
// becomes more than three stored bytes (an invalid UTF-8 byte becomes U+FFFD), so a hive holds less
// than four times kMaxHiveBytes.
using Offset = std::uint32_t;
static_assert(4 * kMaxHiveBytes <= off_t{0xFFFFFFFF});

struct StoredKey {
  Offset path = 0;  // the folded path ("SOFTWARE\\TARVEL")
  Offset pathSize = 0;
  Offset firstValue = 0;  // its values, sorted by name, in Hive::values
  Offset valueCount = 0;
};

struct StoredValue {
  Offset key = 0;    // while reading, the section it was read in; then its key's index in Hive::keys
  Offset order = 0;  // the how-manieth value of the file: of two of one name in one key, the later counts
  Offset name = 0;   // the folded name
  Offset nameSize = 0;
  Offset data = 0;  // as RegQueryValueExA delivers it
  Offset dataSize = 0;
  std::uint32_t type = kRegNone;
};

struct Hive {
  bool loaded = false;   // the file exists and starts with the Wine header
  bool exists = false;   // the file exists
  std::string problem;   // why an existing file was not read, or empty
  bool win64 = false;    // "#arch=win64": 32-bit programs see Software through Wow6432Node
  std::string bytes;     // what the entries below point into
  std::vector<StoredKey> keys;     // one per key path that has a section, sorted by path
  std::deque<StoredValue> values;  // grouped by key, sorted by name within one, one per name

  std::string_view text(Offset at, Offset size) const { return std::string_view(bytes).substr(at, size); }
  std::string_view path(const StoredKey& key) const { return text(key.path, key.pathSize); }
  std::string_view name(const StoredValue& value) const { return text(value.name, value.nameSize); }
};

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

bool isHighSurrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// How many UTF-16 units or UTF-8 bytes are converted at a time: a long string never stands in memory
// whole in a second form beside the stored one.
constexpr std::size_t kBatch = 4096;

// Takes the UTF-16 units of a decoded string and appends them to `out` in the form the value keeps:
// UTF-8 (as the whole string through text::utf16ToUtf8) or little-endian UTF-16 bytes.
class UnitSink {
 public:
  UnitSink(std::string& out, bool asUtf8) : out_(out), asUtf8_(asUtf8) {}
  void add(std::uint16_t unit) {
    units_.push_back(unit);
    if (units_.size() >= kBatch) convert(false);
  }
  void add(const std::vector<std::uint16_t>& units) {
    for (std::uint16_t unit : units) add(unit);
  }
  // After the last unit.
  void finish() { convert(true); }

 private:
  void convert(bool last) {
    if (!asUtf8_) {
      for (std::uint16_t unit : units_) {
        out_ += static_cast<char>(unit & 0xFF);
        out_ += static_cast<char>(unit >> 8);
      }
      units_.clear();
      return;
    }
    // A high surrogate at the end of a batch waits for the unit that may complete its pair.
    const bool holdLast = !last && !units_.empty() && isHighSurrogate(units_.back());
    const std::uint16_t held = holdLast ? units_.back() : 0;
    if (holdLast) units_.pop_back();
    out_ += text::utf16ToUtf8(units_);
    units_.clear();
    if (holdLast) units_.push_back(held);
  }

  std::string& out_;
  bool asUtf8_;
  std::vector<std::uint16_t> units_;
};

// Where a run of UTF-8 bytes may be cut so that decoding the two parts gives what decoding it whole
// gives: before a byte that cannot continue a sequence, or after three that can (a sequence is at
// most four bytes long). `run` holds more than three bytes.
std::size_t safeCut(std::string_view run) {
  auto continues = [&](std::size_t at) { return (static_cast<unsigned char>(run[at]) & 0xC0) == 0x80; };
  for (std::size_t at = run.size() - 1; at + 3 >= run.size(); --at)
    if (!continues(at)) return at;
  return run.size();
}

// Parses an escaped string starting at line[pos] up to the unescaped `endChar` into `out`; pos is
// left after it. Returns false when the line ends first.
bool parseWineString(std::string_view line, std::size_t& pos, char endChar, UnitSink& out) {
  std::string plain;  // UTF-8 run between escapes
  auto flushPlain = [&](bool whole) {
    const std::size_t cut = whole ? plain.size() : safeCut(plain);
    out.add(text::utf8ToUtf16(std::string_view(plain).substr(0, cut)));
    plain.erase(0, cut);
  };
  auto addPlain = [&](char c) {
    plain += c;
    if (plain.size() >= kBatch) flushPlain(false);
  };
  while (pos < line.size()) {
    char c = line[pos];
    if (c == endChar) {
      flushPlain(true);
      ++pos;
      return true;
    }
    if (c != '\\') {
      addPlain(c);
      ++pos;
      continue;
    }
    if (++pos >= line.size()) break;
    char e = line[pos];
    static const std::string_view kLetters = "abefnrtv";
    static const char kControls[] = {'\a', '\b', '\x1b', '\f', '\n', '\r', '\t', '\v'};
    if (auto letter = kLetters.find(e); letter != std::string_view::npos) {
      flushPlain(true);
      out.add(static_cast<std::uint16_t>(kControls[letter]));
      ++pos;
    } else if (e == 'x') {
      std::size_t digits = 0;
      unsigned value = 0;
      while (digits < 4 && pos + 1 + digits < line.size() && isHexDigit(line[pos + 1 + digits])) {
        value = value * 16 + static_cast<unsigned>(hexValue(line[pos + 1 + digits]));
        ++digits;
      }
      flushPlain(true);
      out.add(digits ? static_cast<std::uint16_t>(value) : std::uint16_t{'x'});
      pos += 1 + digits;
    } else if (e >= '0' && e <= '7') {
      unsigned value = 0;
      std::size_t digits = 0;
      while (digits < 3 && pos + digits < line.size() && line[pos + digits] >= '0' && line[pos + digits] <= '7') {
        value = value * 8 + static_cast<unsigned>(line[pos + digits] - '0');
        ++digits;
      }
      flushPlain(true);
      out.add(static_cast<std::uint16_t>(value));
      pos += digits;
    } else {
      addPlain(e);  // \\ \" \[ \] and any other character stand for themselves
      ++pos;
    }
  }
  return false;
}

// An escaped string up to `endChar` as UTF-8, or false when the line ends first.
bool parseWineStringUtf8(std::string_view line, std::size_t& pos, char endChar, std::string& utf8) {
  UnitSink sink(utf8, true);
  if (!parseWineString(line, pos, endChar, sink)) return false;
  sink.finish();
  return true;
}

// "01,ab,ff" (whitespace allowed around the bytes), each byte handed to `take`; false on anything else.
template <typename TakeByte>
bool parseHexBytes(std::string_view text, TakeByte&& take) {
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
    take(static_cast<std::uint8_t>(value));
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

// The data after '=' (a quoted string, str:, str(N):, dword:, hex:, hex(N):) appended to `out`, and
// its type. On false, `out` may hold part of it.
bool parseValueData(std::string_view data, std::string& out, std::uint32_t& typeOut) {
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
    UnitSink sink(out, isStringType(type));  // other types keep the string's UTF-16 bytes
    ++pos;
    if (!parseWineString(data, pos, '"', sink)) return false;
    sink.add(0);  // Wine stores the terminating zero with the string
    sink.finish();
    typeOut = type;
    return true;
  }
  if (data.starts_with("dword:")) {
    std::string_view digits = data.substr(6);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
    std::uint32_t n = 0;
    if (!parseHexNumber(digits, n)) return false;
    for (int i = 0; i < 4; ++i) out += static_cast<char>(n >> (8 * i));
    typeOut = kRegDword;
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
  if (!isStringType(type)) {
    typeOut = type;
    return parseHexBytes(hex, [&](std::uint8_t byte) { out += static_cast<char>(byte); });
  }
  // UTF-16LE in the file; an odd last byte is dropped.
  UnitSink sink(out, true);
  int lowByte = -1;
  const bool parsed = parseHexBytes(hex, [&](std::uint8_t byte) {
    if (lowByte < 0) {
      lowByte = byte;
    } else {
      sink.add(static_cast<std::uint16_t>(lowByte | (byte << 8)));
      lowByte = -1;
    }
  });
  sink.finish();
  typeOut = type;
  return parsed;
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

std::string_view trimLeadingSpace(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

// Builds a hive from the lines of its file, handed over one at a time.
class HiveBuilder {
 public:
  explicit HiveBuilder(Hive& hive) : hive_(hive) {}

  // The bytes kept are fewer than the file's but for pathological strings: room for its size up front
  // spares the copies of a growing block, and the room never written to is never resident.
  void expectFileSize(std::size_t size) { hive_.bytes.reserve(size); }

  // One line without its line end; false when the file is not a Wine registry file and the rest
  // need not be read.
  bool line(std::string_view line) {
    if (!headerSeen_) {
      headerSeen_ = true;
      hive_.loaded = line.starts_with("WINE REGISTRY Version 2");
      return hive_.loaded;
    }
    if (continued_) {
      // hex data continues on the next line after a trailing backslash
      continuedData_.pop_back();
      continuedData_ += trimLeadingSpace(line);
      if (!continuedData_.ends_with('\\')) endContinuedValue();
      return true;
    }
    statement(trimLeadingSpace(line));
    return true;
  }

  // After the last line: the tables sorted for the lookups.
  void finish() {
    if (continued_) endContinuedValue();  // the file ends inside continued data
    if (hive_.loaded) index();
  }

 private:
  void statement(std::string_view line) {
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '#') {
      if (line == "#arch=win64") hive_.win64 = true;
      return;
    }
    if (line.front() == '[') {
      std::size_t pos = 1;
      std::string path;
      hasSection_ = parseWineStringUtf8(line, pos, ']', path);  // a broken key line: skip its values
      if (!hasSection_) return;
      const Offset at = storedSize();
      hive_.bytes += normaliseKeyPath(path);
      sections_.push_back({at, storedSize() - at});
      return;
    }
    if (line.front() != '"' && line.front() != '@') return;
    std::string name;
    std::size_t pos = 1;
    if (line.front() == '"' && !parseWineStringUtf8(line, pos, '"', name)) return;
    if (pos >= line.size() || line[pos] != '=') return;
    const std::string_view data = line.substr(pos + 1);
    if (data.starts_with("hex") && data.ends_with('\\')) {
      continued_ = true;
      continuedName_ = std::move(name);
      continuedData_ = data;
      return;
    }
    addValue(name, data);
  }

  void endContinuedValue() {
    continued_ = false;
    addValue(continuedName_, continuedData_);
    continuedData_ = std::string();
  }

  void addValue(std::string_view name, std::string_view data) {
    const Offset order = valuesRead_++;
    if (!hasSection_) return;
    StoredValue value;
    value.key = static_cast<Offset>(sections_.size() - 1);
    value.order = order;
    value.name = storedSize();
    hive_.bytes += text::foldCase(name);
    value.nameSize = storedSize() - value.name;
    value.data = storedSize();
    if (!parseValueData(data, hive_.bytes, value.type)) {
      hive_.bytes.resize(value.name);
      return;
    }
    value.dataSize = storedSize() - value.data;
    hive_.values.push_back(value);
  }

  // One key per path, however many sections name it, sorted by path; its values sorted by name, the
  // last read of each name kept, as if each had been set in turn.
  void index() {
    std::vector<Offset> byPath(sections_.size());
    std::iota(byPath.begin(), byPath.end(), Offset{0});
    auto sectionPath = [&](Offset section) { return hive_.text(sections_[section].path, sections_[section].pathSize); };
    std::sort(byPath.begin(), byPath.end(), [&](Offset a, Offset b) {
      const int order = sectionPath(a).compare(sectionPath(b));
      return order != 0 ? order < 0 : a < b;
    });
    std::vector<Offset> keyOfSection(sections_.size());
    for (Offset section : byPath) {
      if (hive_.keys.empty() || hive_.path(hive_.keys.back()) != sectionPath(section))
        hive_.keys.push_back({sections_[section].path, sections_[section].pathSize, 0, 0});
      keyOfSection[section] = static_cast<Offset>(hive_.keys.size() - 1);
    }
    sections_ = {};
    for (StoredValue& value : hive_.values) value.key = keyOfSection[value.key];

    std::deque<StoredValue>& values = hive_.values;
    std::sort(values.begin(), values.end(), [&](const StoredValue& a, const StoredValue& b) {
      if (a.key != b.key) return a.key < b.key;
      const int order = hive_.name(a).compare(hive_.name(b));
      return order != 0 ? order < 0 : a.order < b.order;
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      const bool replacedLater = i + 1 < values.size() && values[i + 1].key == values[i].key &&
                                 hive_.name(values[i + 1]) == hive_.name(values[i]);
      if (!replacedLater) values[kept++] = values[i];
    }
    values.resize(kept);
    for (std::size_t i = values.size(); i-- > 0;) {
      StoredKey& key = hive_.keys[values[i].key];
      key.firstValue = static_cast<Offset>(i);
      ++key.valueCount;
    }
  }

  Offset storedSize() const { return static_cast<Offset>(hive_.bytes.size()); }

  struct Section {
    Offset path;
    Offset pathSize;
  };

  Hive& hive_;
  bool headerSeen_ = false;
  std::deque<Section> sections_;  // the key sections in the order of the file
  bool hasSection_ = false;       // the values read belong to the last of sections_
  Offset valuesRead_ = 0;
  bool continued_ = false;  // a value's hex data goes on in the next line
  std::string continuedName_;
  std::string continuedData_;
};

// Hands the lines of a registry file (without their line ends) to `builder`: a regular file of at
// most kMaxHiveBytes, opened without waiting (a FIFO in its place would block an ordinary open for
// ever), read a chunk at a time. False, with `problem` set when it exists, when it cannot be read.
bool readHiveLines(const std::string& file, bool& exists, std::string& problem, HiveBuilder& builder) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  exists = fd >= 0 || errno != ENOENT;
  if (fd < 0) {
    if (exists) problem = std::string("cannot be opened: ") + std::strerror(errno);
    return false;
  }
  struct stat info{};
  if (::fstat(fd, &info) != 0) {
    problem = std::string("cannot be examined: ") + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    problem = "is not a regular file";
  } else if (info.st_size > kMaxHiveBytes) {
    problem = "is larger than " + std::to_string(kMaxHiveBytes >> 20) + " MiB";
  }
  if (!problem.empty()) {
    ::close(fd);
    return false;
  }
  builder.expectFileSize(static_cast<std::size_t>(info.st_size));
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::string buffer;         // the line not yet ended, then the chunk read after it
  std::size_t lineStart = 0;  // where that line starts in buffer
  std::size_t searched = 0;   // up to where buffer holds no line end after lineStart
  auto remaining = static_cast<std::size_t>(info.st_size);  // a file that grows meanwhile is read as it was
  bool wanted = true;
  while (wanted && remaining > 0) {
    buffer.erase(0, lineStart);
    searched -= lineStart;
    lineStart = 0;
    const std::size_t held = buffer.size();
    buffer.resize(held + std::min(kChunk, remaining));
    const ssize_t n = ::read(fd, buffer.data() + held, buffer.size() - held);
    if (n < 0 && errno == EINTR) {
      buffer.resize(held);
      continue;
    }
    if (n < 0) {
      problem = std::string("cannot be read: ") + std::strerror(errno);
      ::close(fd);
      return false;
    }
    buffer.resize(held + static_cast<std::size_t>(n));
    if (n == 0) break;  // shrunk meanwhile: what is there is the file
    remaining -= static_cast<std::size_t>(n);
    for (std::size_t end; wanted && (end = buffer.find('\n', searched)) != std::string::npos; searched = lineStart = end + 1) {
      std::string_view line(buffer.data() + lineStart, end - lineStart);
      if (line.ends_with('\r')) line.remove_suffix(1);
      wanted = builder.line(line);
    }
    if (wanted) searched = buffer.size();
  }
  ::close(fd);
  if (wanted && lineStart < buffer.size()) {  // the last line has no line end
    std::string_view line(buffer.data() + lineStart, buffer.size() - lineStart);
    if (line.ends_with('\r')) line.remove_suffix(1);
    builder.line(line);
  }
  return true;
}

Hive loadHive(const std::string& file) {
  Hive hive;
  HiveBuilder builder(hive);
  if (!readHiveLines(file, hive.exists, hive.problem, builder)) {
    Hive unread;
    unread.exists = hive.exists;
    unread.problem = std::move(hive.problem);
    return unread;
  }
  builder.finish();
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
  // The key's values are hive->values[first, first + count).
  WineRegistryKey(std::shared_ptr<const Hive> hive, Offset first, Offset count)
      : hive_(std::move(hive)), first_(first), count_(count) {}

  QueryStatus query(std::string_view name, std::uint8_t* buffer, std::uint32_t& size,
                    std::uint32_t& type) const override {
    const std::string folded = text::foldCase(name);
    const auto begin = hive_->values.begin() + first_;
    const auto end = begin + count_;
    const auto found = std::lower_bound(begin, end, folded, [&](const StoredValue& value, const std::string& wanted) {
      return hive_->name(value) < wanted;
    });
    if (found == end || hive_->name(*found) != folded) return QueryStatus::NotFound;
    const StoredValue& value = *found;
    const std::uint32_t needed = value.dataSize;
    type = value.type;
    if (buffer != nullptr && needed > size) {
      size = needed;
      return QueryStatus::MoreData;
    }
    if (buffer != nullptr && needed > 0) std::memcpy(buffer, hive_->bytes.data() + value.data, needed);
    size = needed;
    return QueryStatus::Ok;
  }

 private:
  std::shared_ptr<const Hive> hive_;  // keeps the values alive after a reload
  Offset first_;
  Offset count_;
};

// The key of a folded path: one with a section of its own, or a parent of one (which has no values).
std::unique_ptr<RegistryKey> openIn(const std::shared_ptr<const Hive>& hive, const std::string& folded) {
  if (!hive || !hive->loaded) return nullptr;
  auto byPath = [&](const StoredKey& key, std::string_view wanted) { return hive->path(key) < wanted; };
  const auto found = std::lower_bound(hive->keys.begin(), hive->keys.end(), std::string_view(folded), byPath);
  if (found != hive->keys.end() && hive->path(*found) == folded)
    return std::make_unique<WineRegistryKey>(hive, found->firstValue, found->valueCount);
  if (folded.empty()) return std::make_unique<WineRegistryKey>(hive, 0, 0);  // the root key always exists
  // The paths below it sort first among all paths from "PATH\" on.
  const std::string below = folded + '\\';
  const auto child = std::lower_bound(found, hive->keys.end(), std::string_view(below), byPath);
  if (child != hive->keys.end() && hive->path(*child).starts_with(below))
    return std::make_unique<WineRegistryKey>(hive, 0, 0);
  return nullptr;
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
