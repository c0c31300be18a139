#pragma once
// The saved text of a document: one walk of the tree (documentText) drives one writer (Writer) for
// both backends; a file or a string is only where the text goes. The layout is described above
// dom::Document::save.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "xmlio/Dom.h"
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

// The reference a byte is written as in a text, in a text of white space alone and in an attribute
// value, or nullptr where it stays.
struct Escapes {
  const char* text[256] = {};
  const char* blankText[256] = {};
  const char* attribute[256] = {};
  constexpr Escapes() {
    text['&'] = attribute['&'] = "&amp;";
    text['<'] = attribute['<'] = "&lt;";
    text['>'] = "&gt;";
    attribute['"'] = "&quot;";
    text['\r'] = attribute['\r'] = blankText['\r'] = "&#13;";
    attribute['\n'] = blankText['\n'] = "&#10;";
    attribute['\t'] = blankText['\t'] = "&#09;";
    blankText[' '] = "&#32;";
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
  // A text of white space alone goes wholly as references: raw, a load would drop it as indentation.
  template <class Text>
  void text(const Text& value) {
    out_.appendEscaped(value, isBlank(value) ? kEscapes.blankText : kEscapes.text);
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

  // The XML declaration, its pseudo-attributes as xmlsource::declarationDeclaringUtf8 gives them:
  // the one place where a saved declaration is made.
  void declaration(std::string_view pseudoAttributes) {
    breakLineBeforeNode();
    out_.append("<?xml ");
    out_.append(pseudoAttributes);
    out_.append("?>");
  }

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
  static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  // Not empty, and white space alone; a text that starts otherwise (nearly all) is judged by its first byte.
  static bool isBlank(const char* text) {
    if (!isSpace(*text)) return false;
    while (isSpace(*text)) ++text;
    return *text == '\0';
  }
  static bool isBlank(std::string_view text) {
    if (text.empty() || !isSpace(text.front())) return false;
    for (const char c : text)
      if (!isSpace(c)) return false;
    return true;
  }

  TextBuffer out_;
  unsigned depth_ = 0;
  bool breakLine_ = false;  // the next node starts a line of its own
};

// The tree as the walk reads it, through the DOM interface: what a backend whose dom::Node calls are
// cheap enough, or cannot be cheaper (COM), walks with. Another backend gives the same operations
// on its own handles, so that the walk is written once and its accessors can be inlined.
struct DomTree {
  using Node = dom::Node;
  struct Attribute {
    dom::Node node;
    std::size_t index = 0;
    explicit operator bool() const { return static_cast<bool>(node); }
  };
  static dom::NodeType type(const Node& node) { return node.type(); }
  static std::string_view name(const Node& node, std::string& buffer) { return node.name(buffer); }
  // The text of a text, CDATA or comment node.
  static std::string_view value(const Node& node, std::string& buffer) { return node.value(buffer); }
  // The data of a processing instruction; of the XML declaration, its pseudo-attributes.
  static std::string_view instructionData(const Node& node, std::string& buffer) { return node.value(buffer); }
  static Node firstChild(const Node& node) { return node.firstChild(); }
  static Node nextSibling(const Node& node) { return node.nextSibling(); }
  static Attribute firstAttribute(const Node& element) { return {element.attributeAt(0), 0}; }
  static Attribute nextAttribute(const Node& element, const Attribute& attribute) {
    return {element.attributeAt(attribute.index + 1), attribute.index + 1};
  }
  static std::string_view name(const Attribute& attribute, std::string& buffer) { return attribute.node.name(buffer); }
  static std::string_view value(const Attribute& attribute, std::string& buffer) { return attribute.node.value(buffer); }
};

// The walk of a tree in document order, each top-level node with its descendants, into a Writer.
// Without recursion, so that no nesting depth can exhaust the stack.
template <class Tree>
class TreeWalk {
 public:
  using Node = typename Tree::Node;

  explicit TreeWalk(const Tree& tree) : tree_(tree) {}

  void writeTopLevelNode(const Node& top) {
    Node node = top;
    for (;;) {
      switch (tree_.type(node)) {
        case dom::NodeType::Element: {
          out_.startElement(tree_.name(node, name_));
          for (auto a = tree_.firstAttribute(node); a; a = tree_.nextAttribute(node, a))
            out_.attribute(tree_.name(a, name_), tree_.value(a, value_));
          Node child = tree_.firstChild(node);
          out_.endStartTag(static_cast<bool>(child));
          if (child) {
            open_.push_back(std::move(node));
            node = std::move(child);
            continue;
          }
          break;
        }
        case dom::NodeType::Text:
          out_.text(tree_.value(node, value_));
          break;
        case dom::NodeType::CData:
          out_.cdata(tree_.value(node, value_));
          break;
        case dom::NodeType::Comment:
          out_.comment(tree_.value(node, value_));
          break;
        case dom::NodeType::ProcessingInstruction:
          out_.processingInstruction(tree_.name(node, name_), tree_.instructionData(node, value_));
          break;
        default:
          // A document type declaration, or a kind the layout has no form for: not written.
          if (open_.empty()) return;
          break;
      }
      // On to the next node, closing the elements left behind.
      for (;;) {
        if (open_.empty()) {
          out_.endTopLevelNode();
          return;
        }
        if (Node next = tree_.nextSibling(node)) {
          node = std::move(next);
          break;
        }
        node = std::move(open_.back());
        open_.pop_back();
        out_.endElement(tree_.name(node, name_));
      }
    }
  }
  TextBuffer finish() { return out_.finish(); }

 private:
  const Tree& tree_;
  Writer out_;
  std::string name_;         // the buffer of names the tree does not hold as UTF-8
  std::string value_;        // the same for values
  std::vector<Node> open_;   // the elements entered and not yet closed, innermost last
};

// The saved text of the document whose document node is `document`, read through `tree` (a DomTree,
// or a backend's own handles with the same operations), checked to load again. Throws dom::Error when
// the text would not load again or memory runs short.
template <class Tree>
TextBuffer documentText(const Tree& tree, const typename Tree::Node& document) {
  try {
    TreeWalk<Tree> walk(tree);
    for (auto top = tree.firstChild(document); top; top = tree.nextSibling(top)) walk.writeTopLevelNode(top);
    return walk.finish();
  } catch (const std::bad_alloc&) {
    throw dom::Error(dom::kOutOfMemory);
  }
}

// The text as a string (dom::Error when memory runs short).
std::string toString(const TextBuffer& text);

// Writes a saved document's text to `path` through platform::writeFileReplacing (with `backupPath`,
// the replaced file stays there). Throws dom::Error with the reason as its detail on failure; `path`
// is then as it was.
platform::WriteResult writeToFile(const std::string& path, std::string_view text, const std::string& backupPath = {});

}  // namespace savedtext
