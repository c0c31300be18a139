#pragma once
// Read-only access to the registry, shaped like the Win32 calls the installer makes.
// POSIX: the hives of a Wine prefix; Windows: the real registry.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

// Value types as Windows numbers them.
enum RegistryType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegQword = 11,
};

enum class QueryStatus {
  Ok,        // data copied, size and type set
  NotFound,  // no value of that name
  MoreData,  // the data is larger than the buffer; size holds the needed size, buffer untouched
};

// An open key. Closed when destroyed (RegCloseKey).
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // RegQueryValueEx: name "" is the default value. `size` is the buffer size on entry and the data size
  // on return. String data comes as UTF-8 with its terminating zero, as the program holds text.
  virtual QueryStatus query(std::string_view name, std::uint8_t* buffer, std::uint32_t& size,
                            std::uint32_t& type) const = 0;
};

// RegOpenKeyEx with KEY_READ in the 32-bit view; null when the key does not exist.
// Key names compare case-insensitively.
std::unique_ptr<RegistryKey> openRegistryKey(RegistryRoot root, std::string_view path);

// POSIX only: the Wine prefix whose system.reg (HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT under
// Software\Classes) and user.reg (HKEY_CURRENT_USER) are read. The files are read again at the
// next openRegistryKey after each call. Until it is set, no key exists.
void setRegistryPrefix(const std::string& prefixFolder);
// POSIX only: one line naming the hives of the prefix that are missing or are not registry files,
// or an empty string when both were read.
std::string registryLoadNote();

}  // namespace platform
