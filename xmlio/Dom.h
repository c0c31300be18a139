#pragma once
// The DOM operations the framework uses, and nothing more. Two backends implement this header:
// pugixml (POSIX build) and MSXML 4.0 through COM (Windows build). Both give the same answers:
// - loading drops whitespace-only text between elements and keeps comments and processing
//   instructions as nodes (positional reads count them); a document that is not well-formed, or
//   holds invalid UTF-8, does not load;
// - an element's value is the concatenation of all its text and CDATA descendants, untrimmed;
// - all text is UTF-8.
// Every failing operation throws dom::Error carrying an HRESULT-style code.
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "xmlio/LoadResult.h"

namespace dom {

// HRESULT-style codes carried by dom::Error, the same on both builds.
inline constexpr std::int32_t kInvalidPointer = static_cast<std::int32_t>(0x80004003);  // E_POINTER
inline constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000E);     // E_OUTOFMEMORY
inline constexpr std::int32_t kFailed = static_cast<std::int32_t>(0x80004005);          // E_FAIL

// A failing DOM operation (COM error exception): the code says why.
class Error : public std::exception {
 public:
  explicit Error(std::int32_t code) noexcept;
  // The same, with a detail appended to the text ("...: cannot create the file"); cut if very long.
  Error(std::int32_t code, std::string_view detail) noexcept;
  std::int32_t code() const noexcept { return code_; }
  // "DOM error 0x80004003 (invalid pointer)" and the like.
  const char* what() const noexcept override;
  // The detail alone ("the file is read-only"), or an empty text when there is none.
  const char* detail() const noexcept { return text_ + detailAt_; }

 private:
  std::int32_t code_;
  char text_[320];
  std::size_t detailAt_ = 0;  // where the detail starts in text_ (at its terminating zero when none)
};

// Node types with the DOM's numbers.
enum class NodeType {
  Other = 0,
  Element = 1,
  Attribute = 2,
  Text = 3,
  CData = 4,
  ProcessingInstruction = 7,
  Comment = 8,
  Document = 9,
};

// A reference to a node of a document (counted on the COM backend). An empty reference stands for
// "no node": every operation on it throws Error(kInvalidPointer), which is how a positional read
// beyond the last child fails.
class Node {
 public:
  Node() noexcept = default;
  Node(const Node& other) noexcept;
  Node& operator=(const Node& other) noexcept;
  Node(Node&& other) noexcept;
  Node& operator=(Node&& other) noexcept;
  ~Node();

  explicit operator bool() const noexcept { return handle_ != nullptr; }

  NodeType type() const;
  // The tag name of an element or attribute, the target of a processing instruction; "#text",
  // "#comment" and the like for other nodes.
  std::string name() const;
  // The same name as a view, valid as value(buffer) is: into the document where it holds the name
  // as UTF-8, else into `buffer`.
  std::string_view name(std::string& buffer) const;
  // True when this is an element or attribute of exactly this name (case-sensitive).
  bool hasName(std::string_view name) const;

  // The first child, or an empty node when there is none.
  Node firstChild() const;
  // The next sibling in document order, or an empty node after the last.
  Node nextSibling() const;

  // Element: the concatenation of its text and CDATA descendants, untrimmed.
  // Attribute: its text.
  std::string value() const;
  // The same value as a view, valid until `buffer` or the document changes: into the document's own
  // text where the backend holds it as UTF-8 (pugixml), else into `buffer`. Readers that only parse
  // a value use this and reuse one buffer, so that no value is copied.
  std::string_view value(std::string& buffer) const;
  // Replaces the content of an element (or the text of an attribute) by `text`; empty text leaves
  // the element without content.
  void setValue(std::string_view text);

  // Appends `child` after the existing children.
  void appendChild(const Node& child);

  // The attribute `name` of an element (no namespace), or an empty node when absent.
  Node attribute(std::string_view name) const;
  // The attribute at `index` of an element, in document order: an empty node past the last one,
  // and for a node that is no element.
  Node attributeAt(std::size_t index) const;
  // Adds the attribute node to the element's attribute map, replacing one of the same name.
  void setNamedItem(const Node& attribute);
  // Creates or replaces the element's attribute `name`.
  void setAttribute(std::string_view name, std::string_view value);

  // Backend use only.
  explicit Node(void* handle) noexcept : handle_(handle) {}
  void* handle() const noexcept { return handle_; }

 private:
  void* handle_ = nullptr;
};

// A DOM document, shared by counted reference: copies refer to the same document.
class Document {
 public:
  struct Impl;

  // No document (an empty reference).
  Document() noexcept = default;
  explicit operator bool() const noexcept { return impl_ != nullptr; }

  // A new, empty document (CreateDocument). Throws Error when the DOM cannot be created.
  static Document create();

  // Replaces the content by the file at `path` (put_async(false) + load) and says what happened:
  // the bytes are judged well-formed or not by the shared judge before the backend parses them, so
  // that NotWellFormed and Declined are the same on both backends; a DOM that refuses a document the
  // judge accepts gives BeyondDomLimits (or OutOfMemory). The document is empty after a failure.
  LoadResult load(const std::string& path);
  // As load, from a document's bytes in memory (a file's content).
  LoadResult loadBytes(std::string_view bytes);
  // Writes the document's text to `path` through platform::writeFileReplacing (a scratch file
  // created exclusively, flushed and renamed over `path`; with `backupPath`, the replaced file stays
  // there). Both backends lay the text out with one walk of the tree (savedtext::documentText), so
  // that a file loaded and saved again keeps its bytes whichever DOM read it:
  // - UTF-8; the XML declaration as name='value' pairs, declaring UTF-8 when it names an encoding;
  // - a line per node, indented by two spaces per level (at most 32 levels, so that no nesting depth
  //   makes the text grow beyond a fixed factor); a text or CDATA section stays inline with its
  //   element (<n>5</n>), and so does the node directly after it;
  // - an element without children as <name /> (with the space);
  // - in a text '&', '<', '>' and a carriage return as references, and a text of white space alone
  //   wholly as references (<n>&#32;</n>), since a load drops such text as indentation; in an
  //   attribute value '&', '<', '"', a carriage return, a line feed and a tab (a load turns raw
  //   ones into spaces).
  // Any other control character stays raw and makes the text fail its final check: a document that
  // would not load again is not written. Throws Error on failure; `path` then keeps its old content.
  // True when the file already held exactly that text: it is then left as it was, and so is its backup.
  bool save(const std::string& path, const std::string& backupPath = {}) const;
  // The text save() writes, in memory. Throws Error when the document would not load again.
  std::string text() const;

  // The document node: walk its children to find the root; append the root to it.
  Node node() const;

  Node createElement(std::string_view name);
  // createElement and parent.appendChild in one step, which spares the backend a move.
  Node appendElement(const Node& parent, std::string_view name);
  Node createAttribute(std::string_view name);
  Node createProcessingInstruction(std::string_view target, std::string_view data);
  // Places `node` before `reference` among the document's children; with an empty reference the
  // node is appended.
  void insertBefore(const Node& node, const Node& reference);

  // Backend use only.
  explicit Document(std::shared_ptr<Impl> impl) noexcept : impl_(std::move(impl)) {}
  Impl* impl() const noexcept { return impl_.get(); }

 private:
  std::shared_ptr<Impl> impl_;
};

// COM initialisation of the calling thread (single-threaded apartment); balanced by uninitialize.
// The pugixml backend counts calls only.
bool initializeCom();
void uninitializeCom();
// Initialisations of the calling thread not yet balanced by this program (for tests).
int comInitializationCount();

// Whether the DOM component is installed (MSXML 4.0 on Windows; always true with pugixml).
bool IsMsxmlAvailable();
// The DOM component in use: "pugixml", "MSXML 4.0" or "MSXML 6.0" ("none" when there is none).
const char* domComponentName();

// Tests only: while set, IsMsxmlAvailable answers false, as on a machine without the DOM component.
void setDomMissingForTesting(bool missing);
bool domMissingForTesting();

}  // namespace dom
