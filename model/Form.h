#pragma once
// How a record's XML form is declared, once, and how that declaration drives its reader, its writer
// and its dump.
//
// A form lists the record's fields in element order, split into the positional part (the first
// children, taken by position whatever their names) and the by-name part (every later child whose
// name is a field name; unknown names skipped, a later duplicate wins). Each field names its element
// (= the member's name) and its value kind. The rules that are not plain fields are small named
// functions hooked into the form: beforeNamed (presets and fix-ups between the two parts), afterRead
// (normalisations once every child is read) and a field's isWritten condition. A reader that must
// tell its afterRead what it saw writes to the record's notes (NotesOf). The value kinds a field
// names are in model/FormKinds.h.
//
//   template <> struct FormOf<InkInfo> {
//     using Record = InkInfo;
//     static constexpr Field<Record> positional[] = {FIELD(Int, nInkIndex), ...};
//     static constexpr Field<Record> byName[] = {FIELD(Float, flPrice), FIELD(Int, nCapacity)};
//     static constexpr Form<Record> form{.element = "InkInfo", .positional = positional, .byName = byName};
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
// What a record's field readers note while its children are read, for its afterRead hook. A record
// that needs notes specialises NotesOf beside its form (before it); the others have none.
struct NoNotes {};
template <class R>
struct NotesOf {
  using type = NoNotes;
};
template <class R>
using Notes = typename NotesOf<R>::type;

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
  void (*read)(const Field& field, const dom::Node& element, R& record, Notes<R>& notes);
  void (*visit)(const Field& field, const R& record, FieldVisitor& visitor);
  bool (*isWritten)(const R& record) = nullptr;  // nullptr: always written
};

template <class R>
struct Form {
  std::string_view element;                                 // the record's element name
  std::span<const Field<R>> positional = {};                // the first children, by position
  std::span<const Field<R>> byName = {};                    // every later child, by name
  void (*beforeNamed)(R& record) = nullptr;                 // after the positional part
  void (*afterRead)(R& record, Notes<R>& notes) = nullptr;  // after the last child
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
      [](const Field<R>& f, const dom::Node& element, R& record, Notes<R>&) {
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
constexpr Field<R> withReader(Field<R> f, void (*read)(const Field<R>&, const dom::Node&, R&, Notes<R>&)) {
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
  Notes<R> notes;
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

}  // namespace form
