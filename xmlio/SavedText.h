#pragma once
// The saved text of a document, written by one writer for both backends, so that a file loaded and
// saved again keeps its bytes whichever DOM read it:
// - UTF-8; an XML declaration as name='value' pairs, declaring UTF-8 when it names an encoding;
// - a line per node, indented by two spaces per level (at most 32 levels, so that no nesting depth
//   makes the text grow beyond a fixed factor); a text or CDATA section stays inline with its
//   element, and so does the node directly after it;
// - an element without children as <name /> (with the space);
// - in a text '&', '<', '>' and a carriage return as references; in an attribute value '&', '<',
//   '"', a carriage return, a line feed and a tab (reading turns raw ones into other characters).
// Any other control character stays raw, so that the final check refuses the text: a document that
// would not load again is never written.
// The pugixml backend drives the writer from its tree; the MSXML backend from the component's own
// serialisation, which layOut reads back node by node.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

#include "xmlio/XmlSource.h"

namespace savedtext {

// The text, appended through a cursor into one buffer that grows by half when full.
class TextBuffer {
 public:
  // `expectedSize` sizes the buffer first, so that a text of about that size grows it at most once.
  explicit TextBuffer(std::size_t expectedSize)
      : capacity_(std::max(expectedSize, kInitialCapacity)),
        text_(new char[capacity_]),
        cursor_(text_.get()),
        end_(text_.get() + capacity_) {}

  void append(const char* text, std::size_t size) {
    reserve(size);
    std::memcpy(cursor_, text, size);
    cursor_ += size;
  }
  void append(std::string_view text) { append(text.data(), text.size()); }
  void append(char c) {
    reserve(1);
    *cursor_++ = c;
  }
  // A zero-terminated text, copied a byte at a time: names and values are short, and counting
  // their length first and copying after costs more than the copy.
  void appendTerminated(const char* text) {
    for (;;) {
      reserve(kStretch);
      for (std::size_t copied = 0; copied < kStretch; ++copied, ++text) {
        if (*text == '\0') return;
        *cursor_++ = *text;
      }
    }
  }
  // The same, each byte that has an entry in `references` written as that reference (at most
  // kLongestReference bytes).
  void appendEscaped(const char* text, const char* const* references) {
    for (;;) {
      reserve(kStretch * kLongestReference);
      for (std::size_t copied = 0; copied < kStretch; ++copied, ++text) {
        const auto c = static_cast<unsigned char>(*text);
        if (c == 0) return;
        appendByte(c, references);
      }
    }
  }
  void appendEscaped(std::string_view text, const char* const* references) {
    reserve(text.size() * kLongestReference);
    for (const char c : text) appendByte(static_cast<unsigned char>(c), references);
  }
  void fill(std::size_t count, char c) {
    reserve(count);
    std::memset(cursor_, c, count);
    cursor_ += count;
  }
  std::string_view view() const { return {text_.get(), static_cast<std::size_t>(cursor_ - text_.get())}; }

  static constexpr std::size_t kLongestReference = 6;

 private:
  static constexpr std::size_t kInitialCapacity = 64 * 1024;
  static constexpr std::size_t kStretch = 64;  // bytes copied between two checks of the room left

  // Room for the byte's longest form has been reserved.
  void appendByte(unsigned char c, const char* const* references) {
    if (const char* reference = references[c]) {
      while (*reference != '\0') *cursor_++ = *reference++;
    } else {
      *cursor_++ = static_cast<char>(c);
    }
  }
  void reserve(std::size_t size) {
    if (static_cast<std::size_t>(end_ - cursor_) < size) grow(size);
  }
  // Growing copies only what is written; the new room is not cleared first.
  void grow(std::size_t size);

  std::size_t capacity_;
  std::unique_ptr<char[]> text_;
  char* cursor_;
  char* end_;
};

// The reference a byte is written as in a text and in an attribute value, or nullptr where it stays.
struct Escapes {
  const char* text[256] = {};
  const char* attribute[256] = {};
  constexpr Escapes() {
    text['&'] = attribute['&'] = "&amp;";
    text['<'] = attribute['<'] = "&lt;";
    text['>'] = "&gt;";
    attribute['"'] = "&quot;";
    text['\r'] = attribute['\r'] = "&#13;";
    attribute['\n'] = "&#10;";
    attribute['\t'] = "&#09;";
  }
};
inline constexpr Escapes kEscapes;

// Writes a document's nodes in document order, each top-level node with its descendants, in the
// saved layout. Names and texts come as zero-terminated strings (a tree that holds them so) or as
// views. A top-level node ends with endTopLevelNode.
class Writer {
 public:
  // Sized for the last text written and a quarter: the texts of one run are of similar sizes.
  Writer();

  template <class Text>
  void startElement(const Text& name) {
    breakLineBeforeNode();
    out_.append('<');
    appendPlain(name);
  }
  template <class Text>
  void attribute(const Text& name, const Text& value) {
    out_.append(' ');
    appendPlain(name);
    out_.append("=\"");
    out_.appendEscaped(value, kEscapes.attribute);
    out_.append('"');
  }
  // Ends the start tag: the element's children follow, or it is an empty-element tag.
  void endStartTag(bool hasChildren) {
    if (hasChildren) {
      out_.append('>');
      ++depth_;
    } else {
      out_.append(" />");
    }
  }
  template <class Text>
  void endElement(const Text& name) {
    --depth_;
    if (breakLine_) newLine();
    out_.append("</");
    appendPlain(name);
    out_.append('>');
    breakLine_ = true;
  }
  template <class Text>
  void text(const Text& value) {
    out_.appendEscaped(value, kEscapes.text);
    breakLine_ = false;
  }
  template <class Text>
  void cdata(const Text& value) {
    out_.append("<![CDATA[");
    appendPlain(value);
    out_.append("]]>");
    breakLine_ = false;
  }
  template <class Text>
  void comment(const Text& value) {
    breakLineBeforeNode();
    out_.append("<!--");
    appendPlain(value);
    out_.append("-->");
  }
  // A processing instruction; one named "xml" is the declaration, and declares UTF-8.
  template <class Text>
  void processingInstruction(const Text& target, const Text& data) {
    if (std::string_view(target) == "xml") return declaration(xmlsource::declarationDeclaringUtf8(data));
    breakLineBeforeNode();
    out_.append("<?");
    appendPlain(target);
    if (!isEmpty(data)) {
      out_.append(' ');
      appendPlain(data);
    }
    out_.append("?>");
  }
  // An XML declaration, its pseudo-attributes as xmlsource::declarationDeclaringUtf8 gives them.
  void declaration(std::string_view pseudoAttributes) {
    breakLineBeforeNode();
    out_.append("<?xml ");
    out_.append(pseudoAttributes);
    out_.append("?>");
  }
  void endTopLevelNode() {
    out_.append('\n');
    breakLine_ = false;
    depth_ = 0;
  }

  // The text written, checked to load again: throws dom::Error when it holds what is not UTF-8 or
  // not an XML character. The writer is spent.
  TextBuffer finish();

 private:
  static constexpr unsigned kMaxIndentLevels = 32;

  void breakLineBeforeNode() {
    if (breakLine_) newLine();
    breakLine_ = true;
  }
  void newLine() {
    out_.append('\n');
    out_.fill(2 * std::min(depth_, kMaxIndentLevels), ' ');
  }
  void appendPlain(const char* text) { out_.appendTerminated(text); }
  void appendPlain(std::string_view text) { out_.append(text); }
  static bool isEmpty(const char* text) { return *text == '\0'; }
  static bool isEmpty(std::string_view text) { return text.empty(); }

  TextBuffer out_;
  unsigned depth_ = 0;
  bool breakLine_ = false;  // the next node starts a line of its own
};

// A document's text in the saved layout, from the XML text a DOM serialised it to without white
// space of its own: every node is read back (a text's references resolved) and written again
// through the Writer. `serialised` is UTF-8 and well-formed. Throws dom::Error when the result would
// not load again, or when the text is not such a serialisation.
TextBuffer layOut(std::string_view serialised);

// Writes a saved document's text to `path` through platform::writeFileReplacing (with `backupPath`,
// the replaced file stays there). Throws dom::Error with the reason as its detail on failure; `path`
// is then as it was.
platform::WriteResult writeToFile(const std::string& path, std::string_view text, const std::string& backupPath = {});

}  // namespace savedtext
