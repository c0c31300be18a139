#include "model/FormKinds.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace form {

ReadError::ReadError(std::string reason) : reason_(std::move(reason)), text_(reason_) {}

void ReadError::addContext(std::string_view step) {
  if (step.empty()) return;
  path_.insert(0, path_.empty() ? std::string(step) : std::string(step) + "/");
  text_ = path_ + ": " + reason_;
}

std::string missingChild(int position, std::string_view name) {
  std::string reason = "child " + std::to_string(position);
  if (!name.empty()) {
    reason += " (";
    reason += name;
    reason += ')';
  }
  return reason + " missing";
}

std::string entryStep(std::string_view name, int number) {
  std::string step(name);
  step += '[';
  step += std::to_string(number);
  step += ']';
  return step;
}

double storedReal(double value) { return parseFloat(formatFloat(writableFloat(value), 3)); }

void Stamp::visit(FieldVisitor& out, std::string_view name, const TimeStamp& v) {
  out.beginObject(name);
  out.integer("year", v.year);
  out.integer("month", v.month);
  out.integer("day", v.day);
  out.integer("hour", v.hour);
  out.integer("minute", v.minute);
  out.integer("second", v.second);
  out.integer("ms", v.ms);
  out.endObject();
}

void Command::read(const dom::Node& e, Names, std::string& v) {
  v = decodeEscapedString(readStringValue(e));
  if (const std::size_t end = v.find('\0'); end != std::string::npos) {
    noteRepair("the command " + e.name() + " decoded short: cut at its \\x00 after " + std::to_string(end) + " bytes");
    v.resize(end);
  }
}

void IntParsedAsFloat::read(const dom::Node& e, Names, std::int32_t& v) {
  const double parsed = std::trunc(readFloatValue(e));
  // Out-of-range texts saturate instead of overflowing the conversion.
  if (!(parsed == parsed)) {
    v = 0;
  } else if (parsed >= 2147483647.0) {
    v = INT32_MAX;
  } else if (parsed <= -2147483648.0) {
    v = INT32_MIN;
  } else {
    v = static_cast<std::int32_t>(parsed);
  }
}

}  // namespace form
