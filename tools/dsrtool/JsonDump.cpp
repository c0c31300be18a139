#include "JsonDump.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

// Builds the JSON tree from the fields a form visits.
class JsonBuilder : public form::FieldVisitor {
 public:
  JsonBuilder() { open_.push_back(&root_); }
  Json take() { return std::move(root_); }

  void integer(std::string_view name, std::int64_t value) override { put(name, value); }
  void real(std::string_view name, double value) override { put(name, value); }
  void boolean(std::string_view name, bool value) override { put(name, value); }
  void text(std::string_view name, std::string_view value) override { put(name, std::string(value)); }
  void beginObject(std::string_view name) override { open_.push_back(&put(name, Json::object())); }
  void endObject() override { open_.pop_back(); }
  void beginArray(std::string_view name) override { open_.push_back(&put(name, Json::array())); }
  void endArray() override { open_.pop_back(); }

 private:
  Json& put(std::string_view name, Json value) {
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return parent.back();
    }
    Json& slot = parent[std::string(name)];
    slot = std::move(value);
    return slot;
  }

  Json root_ = Json::object();
  std::vector<Json*> open_;
};

// Writes each field as one "path=value" line.
class FlatLines : public form::FieldVisitor {
 public:
  std::vector<std::string> lines;

  void integer(std::string_view name, std::int64_t value) override { put(name, std::to_string(value)); }
  void real(std::string_view name, double value) override {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    put(name, text);
  }
  void boolean(std::string_view name, bool value) override { put(name, value ? "true" : "false"); }
  void text(std::string_view name, std::string_view value) override {
    // Built by appending: GCC 12 at -O2 warns (-Wrestrict, falsely) about "\"" + std::string(value).
    std::string quoted(1, '"');
    quoted.append(value).push_back('"');
    put(name, quoted);
  }
  void beginObject(std::string_view name) override { open(name, false); }
  void endObject() override { path_.pop_back(); }
  void beginArray(std::string_view name) override { open(name, true); }
  void endArray() override { path_.pop_back(); }

 private:
  struct Level {
    std::string prefix;
    bool array;
    std::size_t next = 0;
  };
  std::string nameOf(std::string_view name) {
    if (path_.empty()) return std::string(name);
    Level& level = path_.back();
    return level.array ? level.prefix + "[" + std::to_string(level.next++) + "]" : level.prefix + "." + std::string(name);
  }
  void open(std::string_view name, bool array) { path_.push_back({nameOf(name), array}); }
  void put(std::string_view name, const std::string& value) { lines.push_back(nameOf(name) + "=" + value); }

  std::vector<Level> path_;
};

}  // namespace

std::vector<std::string> flattenMedium(const MediaInfo& medium) {
  FlatLines flat;
  form::visitRecord(medium, flat);
  return flat.lines;
}

std::string dumpDeviceSeriesJson(const DeviceSeries& series, const std::string& versionText) {
  JsonBuilder builder;
  builder.text("strVersion", versionText);
  form::visitRecord(series, builder);
  // Texts of a loaded description are valid UTF-8; replace rather than fail should one not be.
  return builder.take().dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
