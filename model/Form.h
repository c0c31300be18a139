#pragma once
// How a record's XML form is declared, once, and how that declaration drives its reader, its writer
// and its dump.
//
// A form lists the record's fields in element order, split into the positional part (the first
// children, taken by position whatever their names) and the by-name part (every later child whose
// name is a field name; unknown names skipped, a later duplicate wins). Each field names its element
// (= the member's name) and its value kind. The rules that are not plain fields are small named
// functions hooked into the form: beforeNamed (presets and fix-ups between the two parts), afterRead
// (normalisations once every child is read) and a field's isWritten condition.
//
//   template <> struct FormOf<InkInfo> {
//     using Record = InkInfo;
//     static constexpr Field<Record> positional[] = {FIELD(Int, nInkIndex), ...};
//     static constexpr Field<Record> byName[] = {FIELD(Float, flPrice), FIELD(Int, nCapacity)};
//     static constexpr Form<Record> form{"InkInfo", positional, byName};
//   };
#include <array>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "xmlio/Dom.h"
#include "xmlio/Encodings.h"

namespace form {

// ---- Errors ------------------------------------------------------------------------------------------

// A description that does not have its form: the reason and where it was found, as a path of element
// names and 1-based record numbers ("aMediaInfoList/MediaInfo[3]: child 17 (TimeStamp) missing").
class ReadError : public std::exception {
 public:
  explicit ReadError(std::string reason);
  // Puts `step` in front of the path.
  void addContext(std::string_view step);
  const std::string& path() const noexcept { return path_; }
  const std::string& reason() const noexcept { return reason_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  std::string path_;
  std::string reason_;
  std::string text_;
};

// Runs read() and, if it fails, adds the step that makeStep() names (built only then) to the error's
// path; DOM and decoding errors become ReadErrors carrying their own message.
template <class MakeStep, class Read>
void withContextOf(MakeStep makeStep, Read read) {
  try {
    read();
  } catch (ReadError& error) {
    error.addContext(makeStep());
    throw;
  } catch (const std::exception& error) {
    ReadError wrapped(error.what());
    wrapped.addContext(makeStep());
    throw wrapped;
  }
}
template <class Read>
void withContext(std::string_view step, Read read) {
  withContextOf([step] { return step; }, read);
}

// "name[number]", the step of a list or array entry (numbered from 1).
std::string entryStep(std::string_view name, int number);

// The reason for a positional child that is not there: "child 17 (TimeStamp) missing".
std::string missingChild(int position, std::string_view name);

// ---- Dump --------------------------------------------------------------------------------------------

// Receives a record's fields in form order (dsrtool's JSON dump). Inside an array the names are empty.
class FieldVisitor {
 public:
  virtual ~FieldVisitor() = default;
  virtual void integer(std::string_view name, std::int64_t value) = 0;
  // A float or double as it is stored in the file (3 decimals).
  virtual void real(std::string_view name, double value) = 0;
  virtual void boolean(std::string_view name, bool value) = 0;
  virtual void text(std::string_view name, std::string_view value) = 0;
  virtual void beginObject(std::string_view name) = 0;
  virtual void endObject() = 0;
  virtual void beginArray(std::string_view name) = 0;
  virtual void endArray() = 0;
};

// ---- Fields and forms --------------------------------------------------------------------------------

// What a record reader remembers between its children until its afterRead rule runs.
struct ReadNotes {
  dom::Node outputTableText;     // SeparationTable: its usOutputTable element, decoded once eType is known
  bool recommendedSeen = false;  // PermissionSet: whether a bRecommended element was read
};

// The names a value kind needs: the element's, and the entry name or index prefix of arrays and lists.
struct Names {
  std::string_view name;
  std::string_view entry;
};

template <class R>
struct Field {
  std::string_view name;   // the element name, which is also the member's name
  std::string_view entry;  // entries of arrays and lists: their name or index prefix; else empty
  dom::Node (*write)(const Field& field, Placement where, const R& record);
  void (*read)(const Field& field, const dom::Node& element, R& record, ReadNotes& notes);
  void (*visit)(const Field& field, const R& record, FieldVisitor& visitor);
  bool (*isWritten)(const R& record) = nullptr;  // nullptr: always written
};

template <class R>
struct Form {
  std::string_view element;                 // the record's element name
  std::span<const Field<R>> positional;     // the first children, by position
  std::span<const Field<R>> byName;         // every later child, by name
  void (*beforeNamed)(R& record) = nullptr;                   // after the positional part
  void (*afterRead)(R& record, ReadNotes& notes) = nullptr;  // after the last child
};

// Specialised beside each record: `static constexpr Form<R> form`.
template <class R>
struct FormOf;

template <class T>
struct MemberOf;
template <class R, class M>
struct MemberOf<M R::*> {
  using Record = R;
  using Value = M;
};

// A plain field: the member `Member` stored in value kind `Kind`.
template <class Kind, auto Member>
constexpr Field<typename MemberOf<decltype(Member)>::Record> field(std::string_view name,
                                                                   std::string_view entry = {}) {
  using R = typename MemberOf<decltype(Member)>::Record;
  return Field<R>{
      name,
      entry,
      [](const Field<R>& f, Placement where, const R& record) {
        return Kind::write(where, Names{f.name, f.entry}, record.*Member);
      },
      [](const Field<R>& f, const dom::Node& element, R& record, ReadNotes&) {
        Kind::read(element, Names{f.name, f.entry}, record.*Member);
      },
      [](const Field<R>& f, const R& record, FieldVisitor& visitor) {
        Kind::visit(visitor, f.name, record.*Member);
      },
  };
}

// The same field, written only when `condition` holds for the record.
template <class R>
constexpr Field<R> writtenWhen(Field<R> f, bool (*condition)(const R&)) {
  f.isWritten = condition;
  return f;
}

// The same field with a reader of its own (a rule that needs the read notes or other members).
template <class R>
constexpr Field<R> withReader(Field<R> f, void (*read)(const Field<R>&, const dom::Node&, R&, ReadNotes&)) {
  f.read = read;
  return f;
}

// FIELD(Int, nInkIndex): the field of member Record::nInkIndex in element "nInkIndex", used inside a
// FormOf<...> that declares `using Record = ...`. Kinds with commas go through the aliases below.
#define FIELD(Kind, member, ...) ::form::field<Kind, &Record::member>(#member __VA_OPT__(, ) __VA_ARGS__)

// ---- Driving reader, writer and dump from a form -----------------------------------------------------

// Reads `element`'s children into `record`: the positional part, beforeNamed, the by-name part,
// afterRead. Throws ReadError naming the field and position where the form is not met.
template <class R>
void readFields(const Form<R>& form, const dom::Node& element, R& record) {
  ReadNotes notes;
  PositionalReader children(element);
  int position = 0;
  for (const Field<R>& f : form.positional) {
    ++position;
    if (!children.remaining()) throw ReadError(missingChild(position, f.name));
    const dom::Node child = children.next();
    withContext(f.name, [&] { f.read(f, child, record, notes); });
  }
  if (form.beforeNamed) form.beforeNamed(record);
  if (!form.byName.empty()) {
    // Children nearly always come in form order, so the search for a child's field starts after
    // the field of the child before and wraps around: one comparison per child in the usual case.
    const std::size_t count = form.byName.size();
    std::size_t expected = 0;
    forEachSibling(children.remaining(), [&](const dom::Node& child) {
      for (std::size_t tried = 0; tried < count; ++tried) {
        const std::size_t index = (expected + tried) % count;
        const Field<R>& f = form.byName[index];
        if (child.hasName(f.name)) {
          withContext(f.name, [&] { f.read(f, child, record, notes); });
          expected = index + 1;
          break;
        }
      }
    });
  }
  if (form.afterRead) form.afterRead(record, notes);
}

// Appends `record`'s children to `element` in form order, skipping fields whose condition fails.
template <class R>
void writeFields(const Form<R>& form, dom::Document& doc, const R& record, const dom::Node& element) {
  const Placement inside(doc, element);
  for (std::span<const Field<R>> part : {form.positional, form.byName}) {
    for (const Field<R>& f : part) {
      if (!f.isWritten || f.isWritten(record)) f.write(f, inside, record);
    }
  }
}

template <class R>
void visitFields(const Form<R>& form, const R& record, FieldVisitor& visitor) {
  for (std::span<const Field<R>> part : {form.positional, form.byName}) {
    for (const Field<R>& f : part) f.visit(f, record, visitor);
  }
}

// The record's element (named after its type unless `name` is given) with all its children.
template <class R>
dom::Node writeRecord(Placement where, const R& record, std::string_view name = {}) {
  dom::Node element = where.createElement(name.empty() ? FormOf<R>::form.element : name);
  writeFields(FormOf<R>::form, where.document(), record, element);
  return element;
}

// Fills `record` (normally freshly constructed) from `element`; the element's own name is not checked.
template <class R>
void readRecord(const dom::Node& element, R& record) {
  readFields(FormOf<R>::form, element, record);
}

template <class R>
void visitRecord(const R& record, FieldVisitor& visitor) {
  visitFields(FormOf<R>::form, record, visitor);
}

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
