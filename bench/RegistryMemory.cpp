// nexlume-registry-memory [MEBIBYTES]
// The peak resident memory and the CPU time of reading a Wine prefix's system.reg of the given size
// (100 MiB unless told), against the same process reading an empty registry. The file is generated
// with what a real system.reg holds: class registrations, strings with escapes, numbers, binary data
// continued over several lines, expandable and multi-strings. Each reading runs in a child process
// of its own, so that its peak (getrusage of the child) is that reading's alone. Prints one line:
//   file_bytes peak_kib baseline_kib cpu_seconds
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

// The key and the value the reading looks up to prove it read the whole file: the generator writes
// them last.
constexpr const char* kLastKey = "Software\\Bench\\Last";
constexpr const char* kLastValue = "Marker";
constexpr const char* kLastData = "end of the generated registry";

// Deterministic numbers for the generated names and data.
class Numbers {
 public:
  std::uint32_t next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }

 private:
  std::uint64_t state_ = 42;
};

std::string hex(std::uint32_t n, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, n);
  return text;
}

// Binary data as Wine writes it: comma-separated bytes, the line broken with a backslash after about
// 80 characters and continued indented by two spaces.
std::string binaryData(const std::string& tag, std::size_t bytes, Numbers& numbers) {
  std::string out = tag;
  std::size_t column = out.size();
  for (std::size_t i = 0; i < bytes; ++i) {
    out += hex(numbers.next() & 0xFF, 2);
    column += 2;
    if (i + 1 == bytes) break;
    out += ',';
    ++column;
    if (column > 76) {
      out += "\\\n  ";
      column = 2;
    }
  }
  return out;
}

void writeRegistry(const fs::path& file, std::uint64_t targetBytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
  Numbers numbers;
  std::uint64_t written = 0;
  std::string block;
  auto section = [&](const std::string& path) {
    block += '[';
    block += path;
    block += "] 1700000000\n#time=1d9a0b0c0d0e0f0\n";
  };
  for (std::uint64_t key = 0; written < targetBytes; ++key) {
    const std::string n = std::to_string(key);
    std::string clsid = "{";
    clsid += hex(numbers.next(), 8);
    clsid += '-';
    clsid += hex(numbers.next() & 0xFFFF, 4);
    clsid += '-';
    clsid += hex(numbers.next() & 0xFFFF, 4);
    clsid += '-';
    clsid += hex(numbers.next(), 8);
    clsid += hex(numbers.next() & 0xFFFF, 4);
    clsid += '}';
    block.clear();
    switch (key % 4) {
      case 0: {  // a class registration: four small keys, most of a real system.reg
        const std::string classKey = "Software\\\\Classes\\\\CLSID\\\\" + clsid;
        section(classKey);
        block += "@=\"Component " + n + " Class\"\n\n";
        section(classKey + "\\\\InProcServer32");
        block += "@=\"C:\\\\windows\\\\system32\\\\component" + std::to_string(key % 997) + ".dll\"\n";
        block += "\"ThreadingModel\"=\"Both\"\n\n";
        section(classKey + "\\\\ProgID");
        block += "@=\"Component.Class" + n + ".1\"\n\n";
        section("Software\\\\Classes\\\\Component.Class" + n + "\\\\CLSID");
        block += "@=\"" + clsid + "\"\n";
        break;
      }
      case 1:
        section("Software\\\\Wow6432Node\\\\Vendor" + std::to_string(key % 61) + "\\\\Product\\\\" + clsid);
        block += "\"InstallPath\"=\"C:\\\\Program Files (x86)\\\\Vendor\\\\Gr\\xfc\\xdfe " + n + "\\\\\"\n";
        block += "\"Version\"=dword:" + hex(numbers.next(), 8) + "\n\"Flags\"=dword:00000001\n";
        block += "\"Path\"=str(2):\"%SystemRoot%\\\\system32;%ProgramFiles%\\\\Vendor\"\n";
        break;
      case 2:
        section("System\\\\CurrentControlSet\\\\Services\\\\Service" + n);
        block += "\"DisplayName\"=\"Service number " + n + "\"\n\"Start\"=dword:00000003\n\"Type\"=dword:00000010\n";
        block += "\"DependOnService\"=hex(7):72,00,70,00,63,00,73,00,73,00,00,00,00,00\n";
        block += "\"Security\"=" + binaryData("hex:", 20 + numbers.next() % 120, numbers) + "\n";
        break;
      default:
        section("Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Fonts\\\\Entry" + n);
        block += "\"Arial (TrueType)\"=\"arial.ttf\"\n";
        block += "\"Description\"=\"A line with \\\"quotes\\\" and a tab\\t" + std::to_string(numbers.next()) + "\"\n";
        block += "\"Size\"=" + binaryData("hex(b):", 8, numbers) + "\n";
        break;
    }
    block += '\n';
    out << block;
    written += block.size();
  }
  out << "[Software\\\\Wow6432Node\\\\Bench\\\\Last] 1700000000\n\"" << kLastValue << "\"=\"" << kLastData << "\"\n";
}

struct Reading {
  long peakKib = 0;
  double cpuSeconds = 0;
};

// Reads the registry of `prefix` in a child process and checks the value written last.
Reading readInChild(const fs::path& prefix, bool expectMarker) {
  const pid_t child = ::fork();
  if (child == 0) {
    platform::setRegistryPrefix(prefix.string());
    const auto key = platform::openRegistryKey(platform::RegistryRoot::LocalMachine, kLastKey);
    if (!expectMarker) ::_exit(key ? 3 : 0);
    if (!key) ::_exit(1);
    char data[64] = {};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    const bool found = key->query(kLastValue, reinterpret_cast<std::uint8_t*>(data), size, type) == platform::QueryStatus::Ok;
    ::_exit(found && std::string(data) == kLastData ? 0 : 2);
  }
  int status = 0;
  struct rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "nexlume-registry-memory: the reading in %s failed (status %d)\n", prefix.c_str(), status);
    std::exit(1);
  }
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return {usage.ru_maxrss, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t mebibytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100;
  const fs::path base = ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::string pattern = (base / "nexlume-registry-memory-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path work = pattern;
  const fs::path empty = work / "empty";
  const fs::path large = work / "large";
  fs::create_directories(empty);
  fs::create_directories(large);
  { std::ofstream(empty / "system.reg") << "WINE REGISTRY Version 2\n"; }
  writeRegistry(large / "system.reg", mebibytes << 20);

  const Reading baseline = readInChild(empty, false);
  const Reading reading = readInChild(large, true);
  std::printf("%llu %ld %ld %.2f\n", static_cast<unsigned long long>(fs::file_size(large / "system.reg")), reading.peakKib,
              baseline.peakKib, reading.cpuSeconds);
  fs::remove_all(work);
  return 0;
}
