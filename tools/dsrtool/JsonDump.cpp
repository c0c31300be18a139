#include "JsonDump.h"

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

}  // namespace

std::string dumpDeviceSeriesJson(const DeviceSeries& series) {
  JsonBuilder builder;
  form::visitRecord(series, builder);
  // Texts of a loaded description are valid UTF-8; replace rather than fail should one not be.
  return builder.take().dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
