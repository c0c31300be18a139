#pragma once
// Ink records: InkInfo (one ink) and InkConfigInfo (a named arrangement of 24 ink slots).
#include <array>
#include <cstdint>
#include <string>

#include "model/FormKinds.h"

// An RGB colour; each component is kept to its low 8 bits.
struct Colour {
  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
  bool operator==(const Colour&) const = default;
};

struct InkInfo {
  std::int32_t nInkIndex = 0;
  LanguageText strLongInkName;
  std::string strShortInkName;
  Colour lightColor;
  Colour darkColor;
  float flPrice = 0.0f;
  std::int32_t nCapacity = 0;
  bool operator==(const InkInfo&) const = default;
};

struct InkConfigInfo {
  std::int32_t nInkConfigIndex = 0;
  LanguageText strInkConfigName;
  std::string strFolderName;
  std::array<std::int32_t, 24> nInkIndexList{};
  bool operator==(const InkConfigInfo&) const = default;
};

namespace form {
// Three components by position; their names are not looked at, further children are ignored.
template <>
struct FormOf<Colour> {
  using Record = Colour;
  static constexpr Field<Record> positional[] = {
      FIELD(ColourComponent, R),
      FIELD(ColourComponent, G),
      FIELD(ColourComponent, B),
  };
  static constexpr Form<Record> form{.element = "Colour", .positional = positional};
};

template <>
struct FormOf<InkInfo> {
  using Record = InkInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nInkIndex),
      FIELD(Language, strLongInkName),
      FIELD(String, strShortInkName),
      FIELD(Nested<Colour>, lightColor),
      FIELD(Nested<Colour>, darkColor),
  };
  static constexpr Field<Record> byName[] = {
      FIELD(Float, flPrice),
      FIELD(Int, nCapacity),
  };
  static constexpr Form<Record> form{.element = "InkInfo", .positional = positional, .byName = byName};
};

// Entirely positional; further children are ignored.
template <>
struct FormOf<InkConfigInfo> {
  using Record = InkConfigInfo;
  static constexpr Field<Record> positional[] = {
      FIELD(Int, nInkConfigIndex),
      FIELD(Language, strInkConfigName),
      FIELD(String, strFolderName),
      FIELD(SameNameArray<Int>, nInkIndexList, "nInkIndex"),
  };
  static constexpr Form<Record> form{.element = "InkConfigInfo", .positional = positional};
};
}  // namespace form
