#pragma once
// The text forms of every value of a description: integer, float (3 decimals), boolean, string,
// escaped string, indexed array, value list, record list, language-keyed text, time stamp, integer
// attribute and base64 element; and the two reading styles (by position, by name).
// A writer creates a new element where its Placement says (unattached, for the caller to append, or
// appended to a parent at once) and returns it, so the order of the writer calls is the order of
// the elements in the file. An attribute writer returns the attribute unattached. A reader takes
// one node.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xmlio/Dom.h"

// ---- Value types shared by all records ------------------------------------------------------------

inline constexpr int kLanguageCount = 13;
// One text per language slot: English, Chinese_Simplified, Chinese_Traditional, French, German,
// Italian, Japanese, Korean, Portuguese, Spanish, Russian, Turkish, Arabic.
using LanguageText = std::array<std::string, kLanguageCount>;

struct TimeStamp {
  std::uint16_t year = 0;
  std::uint8_t month = 0;
  std::uint8_t day = 0;
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint8_t second = 0;
  std::uint16_t ms = 0;
  bool operator==(const TimeStamp&) const = default;
};

// The element name of a language slot (0 to 12), from the string table (ids 1-10, 14-16), loaded once.
const std::string& languageName(int slot);

// ---- Repairs -----------------------------------------------------------------------------------------

// Values the readers repaired or cut while reading (an integer that saturated, a table padded, a
// command cut short), noted for a tool that asks (dsrtool check). Until a tool sets a list for its
// thread, noting costs one test, and only where a value is repaired.
void setRepairNotes(std::vector<std::string>* notes);
void noteRepair(std::string_view what);

// ---- Text rules ------------------------------------------------------------------------------------

// atoi: leading white space, optional sign, decimal digits up to the first other character; 0 when
// there are none; saturates to INT32_MAX / INT32_MIN when out of range.
std::int32_t parseInt(std::string_view text);
// atof: leading white space, sign, digits, '.', fraction, optional exponent; 0.0 when unparsable.
double parseFloat(std::string_view text);
// "%.*f" in the classic locale.
std::string formatFloat(double value, int precision);
// A double narrowed to a float without undefined behaviour: out of range becomes +-infinity.
float narrowToFloat(double value);
// The value a float element is written with: the value itself when finite. Infinity has no
// fixed-point text that reads back ("inf" would read as 0), so it is written as the largest finite
// double of its sign, which reads back as itself (and as infinity again into a float); NaN as 0.
double writableFloat(double value);

// ---- Writers ---------------------------------------------------------------------------------------

// Where a writer creates its element: unattached in a document (given the document), or appended at
// once as the last child of `parent` (given both), which spares moving it there. Either way the
// writer returns the element.
class Placement {
 public:
  Placement(dom::Document& doc) : doc_(&doc) {}  // NOLINT(google-explicit-constructor): writers take a document
  Placement(dom::Document& doc, const dom::Node& parent) : doc_(&doc), parent_(&parent) {}
  dom::Node createElement(std::string_view name) const {
    return parent_ != nullptr ? doc_->appendElement(*parent_, name) : doc_->createElement(name);
  }
  // The same document, appending to `element`: where an element's children go.
  Placement inside(const dom::Node& element) const { return Placement(*doc_, element); }
  dom::Document& document() const { return *doc_; }

 private:
  dom::Document* doc_;
  const dom::Node* parent_ = nullptr;
};

dom::Node writeIntElement(Placement where, std::string_view name, std::int32_t value);
dom::Node writeFloatElement(Placement where, std::string_view name, double value, int precision = 3);
dom::Node writeBoolElement(Placement where, std::string_view name, bool value);
dom::Node writeStringElement(Placement where, std::string_view name, std::string_view value);
// 13 string children named languageName(slot); an empty slot is written with the English text.
dom::Node writeLanguageText(Placement where, std::string_view name, const LanguageText& text);
// Seven integer children year, month, day, hour, minute, second, ms.
dom::Node writeTimeStamp(Placement where, std::string_view name, const TimeStamp& stamp);
// An attribute node holding the decimal text; the caller adds it with setNamedItem.
dom::Node writeIntAttribute(dom::Document& doc, std::string_view name, std::int32_t value);

// ---- Readers ---------------------------------------------------------------------------------------
// Each throws dom::Error(kInvalidPointer) when handed an empty node.

std::int32_t readIntValue(const dom::Node& node);
double readFloatValue(const dom::Node& node);
// True only for the exact text "true".
bool readBoolValue(const dom::Node& node);
std::string readStringValue(const dom::Node& node);
// Children matched by slot name (later duplicates win); slots without a child keep their text.
void readLanguageText(const dom::Node& container, LanguageText& text);
// The first seven children by position, truncated to the field widths.
void readTimeStamp(const dom::Node& container, TimeStamp& stamp);
// The attribute's integer, or -1 when the element has no such attribute.
std::int32_t readIntAttribute(const dom::Node& element, std::string_view name);

// ---- Escaped strings -------------------------------------------------------------------------------

// Printable ASCII other than " & ' < > \ is copied; every other byte becomes "\xHH" (upper case).
std::string encodeEscapedString(std::string_view bytes);
// The inverse; throws std::runtime_error with "decodeEscapedString(): invalid source string" or
// "decodeEscapedString(): unrecognized escape sequence". The result may hold zero bytes.
std::string decodeEscapedString(std::string_view text);

// ---- Base64 (RFC 4648 alphabet, '=' padding, no line breaks) ---------------------------------------

class CBase64 {
 public:
  virtual ~CBase64() = default;
  // 0 on success; nonzero (and `text` untouched) when the input cannot be read.
  virtual int Encode(const std::uint8_t* data, std::uint64_t length, std::string& text) const;
  // 0 on success; nonzero (and `data` untouched) when the input cannot be read, which includes a
  // length that is not a multiple of 4 (a cut text: its last group is incomplete). '=' counts as 0,
  // a character outside the alphabet as 63; the trailing '=' (at most 3) shorten the result. Never
  // reads past `length`.
  virtual int Decode(const char* text, std::uint64_t length, std::vector<std::uint8_t>& data) const;
};

// ---- Reading styles --------------------------------------------------------------------------------

// Positional reading: the k-th call of next() yields the k-th child in document order, whatever its
// name (comments and processing instructions count). A missing child throws dom::Error(kInvalidPointer).
class PositionalReader {
 public:
  explicit PositionalReader(const dom::Node& parent) : next_(parent.firstChild()) {}
  dom::Node next() {
    if (!next_) throw dom::Error(dom::kInvalidPointer);
    dom::Node taken = next_;
    next_ = next_.nextSibling();
    return taken;
  }
  // The first child not yet taken, or an empty node: where a by-name stage starts.
  const dom::Node& remaining() const { return next_; }

 private:
  dom::Node next_;
};

// Calls visit(child) for `first` and each following sibling, in document order.
template <class Visit>
void forEachSibling(dom::Node first, Visit visit) {
  for (dom::Node child = std::move(first); child; child = child.nextSibling()) visit(child);
}
// Calls visit(child) for every child of `parent`, in document order.
template <class Visit>
void forEachChild(const dom::Node& parent, Visit visit) {
  forEachSibling(parent.firstChild(), visit);
}

// ---- Arrays and lists ------------------------------------------------------------------------------
// An entry writer is writeEntry(placement, entryName, value), creating the entry's element where the
// placement says; an entry reader is readEntry(child, entry), filling a freshly constructed entry.

// Indexed array: element `name` with one child per entry named prefix + index ("value0", ...).
template <class Range, class WriteEntry>
dom::Node writeIndexedArray(Placement where, std::string_view name, std::string_view prefix,
                            const Range& entries, WriteEntry writeEntry) {
  dom::Node element = where.createElement(name);
  std::string entryName(prefix);
  std::size_t index = 0;
  for (const auto& entry : entries) {
    entryName.resize(prefix.size());
    entryName += std::to_string(index++);
    writeEntry(where.inside(element), entryName, entry);
  }
  return element;
}

// Value list or record list: element `name` with one child `entryName` per entry.
template <class Range, class WriteEntry>
dom::Node writeList(Placement where, std::string_view name, std::string_view entryName,
                    const Range& entries, WriteEntry writeEntry) {
  dom::Node element = where.createElement(name);
  for (const auto& entry : entries) writeEntry(where.inside(element), entryName, entry);
  return element;
}

