#include "model/ModeInfo.h"

void presetModeInfoNamedStage(ModeInfo& mode) { mode.nNozzleMaskCount = 0; }

namespace {
bool differsFromReference(const UVLampPower& entry) {
  return entry.nForwardPower != entry.nReferencePower || entry.nBackwardPower != entry.nReferencePower;
}
bool isLampPower(std::int32_t value) { return value >= 0 && value <= 100; }
}  // namespace

dom::Node writeUVLampPower(Placement where, const UVLampPower& entry, int position) {
  dom::Node element = where.createElement("UVLampPower");
  element.setNamedItem(writeIntAttribute(where.document(), "position", position));
  writeIntElement(where.inside(element), "nForwardPower", entry.nForwardPower);
  writeIntElement(where.inside(element), "nBackwardPower", entry.nBackwardPower);
  return element;
}

bool readUVLampPower(const dom::Node& element, UVLampPower& entry, int& position) {
  if (element.type() != dom::NodeType::Element) return false;
  const std::int32_t found = readIntAttribute(element, "position");
  if (found != 0 && found != 1) return false;
  forEachChild(element, [&](const dom::Node& child) {
    if (child.hasName("nForwardPower")) {
      if (const std::int32_t power = readIntValue(child); isLampPower(power)) entry.nForwardPower = power;
    } else if (child.hasName("nBackwardPower")) {
      if (const std::int32_t power = readIntValue(child); isLampPower(power)) entry.nBackwardPower = power;
    }
  });
  position = found;
  return true;
}

namespace form {

dom::Node LampPowers::write(Placement where, Names n, const std::array<UVLampPower, 2>& v) {
  dom::Node list = where.createElement(n.name);
  if (differsFromReference(v[0]) || differsFromReference(v[1])) {
    writeUVLampPower(where.inside(list), v[0], 0);
    writeUVLampPower(where.inside(list), v[1], 1);
  }
  return list;
}

void LampPowers::read(const dom::Node& e, Names, std::array<UVLampPower, 2>& v) {
  forEachChild(e, [&](const dom::Node& child) {
    UVLampPower scratch;
    int position = 0;
    if (!readUVLampPower(child, scratch, position)) return;
    v[position].nForwardPower = scratch.nForwardPower;
    v[position].nBackwardPower = scratch.nBackwardPower;
  });
}

void LampPowers::visit(FieldVisitor& out, std::string_view name, const std::array<UVLampPower, 2>& v) {
  out.beginArray(name);
  for (const UVLampPower& entry : v) {
    out.beginObject({});
    out.integer("nForwardPower", entry.nForwardPower);
    out.integer("nBackwardPower", entry.nBackwardPower);
    out.endObject();
  }
  out.endArray();
}

}  // namespace form
