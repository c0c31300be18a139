// The string table: resources/strings.tsv compiled into the program (StringTableData.s) and read
// here once. Format: one entry per line, "<id><TAB><text>", the text taken literally to the end of
// the line; blank lines and lines starting with '#' are ignored.
#include <charconv>
#include <string_view>
#include <unordered_map>

#include "platform/Resources.h"

extern "C" const char nexlume_string_table_begin[];
extern "C" const char nexlume_string_table_end[];

namespace platform {
namespace {

std::unordered_map<int, std::string> parseStringTable(std::string_view source) {
  std::unordered_map<int, std::string> table;
  while (!source.empty()) {
    std::size_t end = source.find('\n');
    std::string_view line = source.substr(0, end);
    source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::size_t tab = line.find('\t');
    int id = 0;
    auto [next, error] = std::from_chars(line.data(), line.data() + (tab == std::string_view::npos ? 0 : tab), id);
    if (tab == std::string_view::npos || error != std::errc() || next != line.data() + tab) continue;
    table.emplace(id, std::string(line.substr(tab + 1)));
  }
  return table;
}

}  // namespace

std::optional<std::string> loadString(int id) {
  static const std::unordered_map<int, std::string> table = parseStringTable(
      std::string_view(nexlume_string_table_begin,
                       static_cast<std::size_t>(nexlume_string_table_end - nexlume_string_table_begin)));
  auto found = table.find(id);
  if (found == table.end()) return std::nullopt;
  return found->second;
}

}  // namespace platform
