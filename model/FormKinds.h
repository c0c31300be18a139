#pragma once
// The value kinds of the record forms (model/Form.h): how one member is written to, read from and
// dumped as its element. A field names its kind: FIELD(Int, nInkIndex), FIELD(RecordList<InkInfo>, ...).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/Form.h"
#include "xmlio/Dom.h"
#include "xmlio/Encodings.h"

namespace form {

// ---- Value kinds -------------------------------------------------------------------------------------
// A kind has write(placement, names, value) -> element, read(element, names, value) and
// visit(visitor, name, value).

struct Int {
  static dom::Node write(Placement where, Names n, std::int32_t v) { return writeIntElement(where, n.name, v); }
  static void read(const dom::Node& e, Names, std::int32_t& v) { v = readIntValue(e); }
  static void visit(FieldVisitor& out, std::string_view name, std::int32_t v) { out.integer(name, v); }
};

// The value as the file holds it: rounded to 3 decimals.
double storedReal(double value);

template <class T>
struct Real {
  static dom::Node write(Placement where, Names n, T v) { return writeFloatElement(where, n.name, v, 3); }
  static void read(const dom::Node& e, Names, T& v) {
    if constexpr (std::is_same_v<T, float>) {
      v = narrowToFloat(readFloatValue(e));
    } else {
      v = readFloatValue(e);
    }
  }
  static void visit(FieldVisitor& out, std::string_view name, T v) { out.real(name, storedReal(v)); }
};
using Float = Real<float>;
using Double = Real<double>;

struct Bool {
  static dom::Node write(Placement where, Names n, bool v) { return writeBoolElement(where, n.name, v); }
  static void read(const dom::Node& e, Names, bool& v) { v = readBoolValue(e); }
  static void visit(FieldVisitor& out, std::string_view name, bool v) { out.boolean(name, v); }
};

struct String {
  static dom::Node write(Placement where, Names n, const std::string& v) {
    return writeStringElement(where, n.name, v);
  }
  static void read(const dom::Node& e, Names, std::string& v) { v = readStringValue(e); }
  static void visit(FieldVisitor& out, std::string_view name, const std::string& v) { out.text(name, v); }
};

// Language-keyed text: 13 children named after the language slots.
struct Language {
  static dom::Node write(Placement where, Names n, const LanguageText& v) {
    return writeLanguageText(where, n.name, v);
  }
  static void read(const dom::Node& e, Names, LanguageText& v) { readLanguageText(e, v); }
  // An object keyed by the slot names, so that a slot is found by its language.
  static void visit(FieldVisitor& out, std::string_view name, const LanguageText& v) {
    out.beginObject(name);
    for (int slot = 0; slot < kLanguageCount; ++slot) out.text(languageName(slot), v[static_cast<std::size_t>(slot)]);
    out.endObject();
  }
};

struct Stamp {
  static dom::Node write(Placement where, Names n, const TimeStamp& v) { return writeTimeStamp(where, n.name, v); }
  static void read(const dom::Node& e, Names, TimeStamp& v) { readTimeStamp(e, v); }
  static void visit(FieldVisitor& out, std::string_view name, const TimeStamp& v);
};

// A printer command: escaped string element. Stored up to the first zero byte after decoding, since
// the host takes commands as zero-terminated strings; written from its full length.
struct Command {
  static dom::Node write(Placement where, Names n, const std::string& v) {
    return writeStringElement(where, n.name, encodeEscapedString(v));
  }
  static void read(const dom::Node& e, Names, std::string& v);
  static void visit(FieldVisitor& out, std::string_view name, const std::string& v) {
    out.text(name, encodeEscapedString(v));
  }
};

// A colour component: an integer element of which the low 8 bits are kept (300 reads as 44).
struct ColourComponent {
  static dom::Node write(Placement where, Names n, std::uint8_t v) { return writeIntElement(where, n.name, v); }
  static void read(const dom::Node& e, Names, std::uint8_t& v) {
    v = static_cast<std::uint8_t>(static_cast<std::uint32_t>(readIntValue(e)) & 0xFFu);
  }
  static void visit(FieldVisitor& out, std::string_view name, std::uint8_t v) { out.integer(name, v); }
};

// An integer written as an integer element but parsed as a float and truncated toward zero, so that
// hand-edited texts like "2.9" or "1e1" keep their integral part.
struct IntParsedAsFloat : Int {
  static void read(const dom::Node& e, Names, std::int32_t& v);
};

// An integer written in float form ("170.000") and read as an integer element, which stops at the point.
struct IntWrittenAsFloat : Int {
  static dom::Node write(Placement where, Names n, std::int32_t v) { return writeFloatElement(where, n.name, v, 3); }
};

// A 0/1 integer held in a boolean element: "true" exactly when the value is 1.
struct IntAsBool {
  static dom::Node write(Placement where, Names n, std::int32_t v) { return writeBoolElement(where, n.name, v == 1); }
  static void read(const dom::Node& e, Names, std::int32_t& v) { v = readBoolValue(e) ? 1 : 0; }
  static void visit(FieldVisitor& out, std::string_view name, std::int32_t v) { out.integer(name, v); }
};

// A record of its own form, in an element named after the field; read into the member in place.
template <class T>
struct Nested {
  static dom::Node write(Placement where, Names n, const T& v) { return writeRecord(where, v, n.name); }
  static void read(const dom::Node& e, Names, T& v) { readRecord(e, v); }
  static void visit(FieldVisitor& out, std::string_view name, const T& v) {
    out.beginObject(name);
    visitRecord(v, out);
    out.endObject();
  }
};

// Fixed-size array: one child per entry, named entry + index ("value0" .. "value23") when Indexed, else
// all named entry; read from the first N children by position, names not looked at, further ones ignored.
enum class EntryNames { Indexed, Same };

template <class Elem, EntryNames Naming>
struct FixedArray {
  template <class T, std::size_t N>
  static dom::Node write(Placement where, Names n, const std::array<T, N>& v) {
    if constexpr (Naming == EntryNames::Indexed) {
      return writeIndexedArray(where, n.name, n.entry, v, [&](Placement at, std::string_view entryName, const T& x) {
        return Elem::write(at, Names{entryName, {}}, x);
      });
    } else {
      return writeList(where, n.name, n.entry, v, [&](Placement at, std::string_view entryName, const T& x) {
        return Elem::write(at, Names{entryName, {}}, x);
      });
    }
  }
  template <class T, std::size_t N>
  static void read(const dom::Node& e, Names n, std::array<T, N>& v) {
    PositionalReader children(e);
    int position = 0;
    for (T& entry : v) {
      ++position;
      if (!children.remaining()) {
        if constexpr (Naming == EntryNames::Indexed) {
          throw ReadError(missingChild(position, std::string(n.entry) + std::to_string(position - 1)));
        } else {
          throw ReadError(missingChild(position, n.entry));
        }
      }
      const dom::Node child = children.next();
      withContextOf([&] { return entryStep(n.entry, position); },
                    [&] { Elem::read(child, Names{n.entry, {}}, entry); });
    }
  }
  template <class T, std::size_t N>
  static void visit(FieldVisitor& out, std::string_view name, const std::array<T, N>& v) {
    out.beginArray(name);
    for (const T& entry : v) Elem::visit(out, {}, entry);
    out.endArray();
  }
};
template <class Elem>
using IndexedArray = FixedArray<Elem, EntryNames::Indexed>;
template <class Elem>
using SameNameArray = FixedArray<Elem, EntryNames::Same>;

// Which children a list reader takes, and whether a list element replaces or extends the list.
enum class Take { EveryChild, NamedChildren };
enum class OnRead { Append, Refill };

// Variable-length list: one child per entry (named entry, or entry + index when Indexed).
template <class Elem, Take Taking = Take::EveryChild, OnRead Mode = OnRead::Append,
          EntryNames Naming = EntryNames::Same>
struct List {
  template <class T>
  static dom::Node write(Placement where, Names n, const std::vector<T>& v) {
    auto writeEntry = [](Placement at, std::string_view entryName, const T& x) {
      return Elem::write(at, Names{entryName, {}}, x);
    };
    if constexpr (Naming == EntryNames::Indexed) {
      return writeIndexedArray(where, n.name, n.entry, v, writeEntry);
    } else {
      return writeList(where, n.name, n.entry, v, writeEntry);
    }
  }
  template <class T>
  static void read(const dom::Node& e, Names n, std::vector<T>& v) {
    if constexpr (Mode == OnRead::Refill) v.clear();
    // Counted first, so that the entries (some of several kilobytes) are read in place, never moved.
    std::size_t entries = 0;
    forEachChild(e, [&](const dom::Node& child) {
      if constexpr (Taking == Take::NamedChildren) {
        if (!child.hasName(n.entry)) return;
      }
      ++entries;
    });
    v.reserve(v.size() + entries);
    int number = 0;
    forEachChild(e, [&](const dom::Node& child) {
      if constexpr (Taking == Take::NamedChildren) {
        if (!child.hasName(n.entry)) return;
      }
      ++number;
      T& entry = v.emplace_back();
      withContextOf([&] { return entryStep(n.entry, number); },
                    [&] { Elem::read(child, Names{n.entry, {}}, entry); });
    });
  }
  template <class T>
  static void visit(FieldVisitor& out, std::string_view name, const std::vector<T>& v) {
    out.beginArray(name);
    for (const T& entry : v) Elem::visit(out, {}, entry);
    out.endArray();
  }

};

// Every child is an entry, whatever its name.
template <class Elem>
using ListOf = List<Elem>;
// Only children named after the entry are entries; others are skipped.
template <class Elem>
using NamedList = List<Elem, Take::NamedChildren>;
// Every child is an entry, and a list element replaces what the list held.
template <class Elem>
using RefilledList = List<Elem, Take::EveryChild, OnRead::Refill>;
// Written with numbered entry names (prefix + index), read like RefilledList.
template <class Elem>
using IndexedList = List<Elem, Take::EveryChild, OnRead::Refill, EntryNames::Indexed>;
// Lists of records, each in an element named after its type (the field's entry name).
template <class T>
using RecordList = ListOf<Nested<T>>;
template <class T>
using NamedRecordList = NamedList<Nested<T>>;

}  // namespace form
