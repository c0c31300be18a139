// The DOM interface on pugixml (POSIX build).
//
// A Node handle is a pugixml node pointer, or an attribute pointer with its lowest bit set; copies
// are plain pointer copies. pugixml keeps every node inside a tree, so the nodes that a writer
// creates before it appends them wait as children of one hidden staging element, a child of the
// document node without a name (no loaded document can hold an element without a name); walks and
// the saved text leave it out.
#include <pugixml.hpp>

#include <algorithm>
#include <bit>
#include <atomic>
#include <cstring>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "xmlio/Dom.h"
#include "xmlio/SavedText.h"
#include "xmlio/XmlSource.h"

namespace {

// How many documents hold a staging element. While none does (all documents are being read), the
// walks need not look for one.
std::atomic<int> documentsWithStaging{0};

}  // namespace

struct dom::Document::Impl {
  pugi::xml_document document;
  std::vector<std::uint8_t> source;  // the UTF-8 text pugixml parsed in place; nodes point into it
  pugi::xml_node staging;            // parent of created, not yet appended nodes

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() { dropStaging(); }

  pugi::xml_node stagingElement() {
    if (!staging) {
      staging = document.append_child(pugi::node_element);
      if (!staging) throw dom::Error(dom::kOutOfMemory);
      documentsWithStaging.fetch_add(1, std::memory_order_relaxed);
    }
    return staging;
  }
  // Forgets the staging element (its memory goes with the document's).
  void dropStaging() {
    if (staging) documentsWithStaging.fetch_sub(1, std::memory_order_relaxed);
    staging = pugi::xml_node();
  }
};

namespace dom {

namespace {

constexpr std::uintptr_t kAttributeTag = 1;

bool isAttributeHandle(const void* handle) { return (reinterpret_cast<std::uintptr_t>(handle) & kAttributeTag) != 0; }

// pugixml's node and attribute handles are one pointer each, copied as such; converting them to and
// from that pointer directly spares a library call per step of every walk.
static_assert(sizeof(pugi::xml_node) == sizeof(void*) && std::is_trivially_copyable_v<pugi::xml_node>);
static_assert(sizeof(pugi::xml_attribute) == sizeof(void*) && std::is_trivially_copyable_v<pugi::xml_attribute>);

pugi::xml_attribute asAttribute(const void* handle) {
  return std::bit_cast<pugi::xml_attribute>(reinterpret_cast<std::uintptr_t>(handle) & ~kAttributeTag);
}

pugi::xml_node asNode(const void* handle) { return std::bit_cast<pugi::xml_node>(handle); }

void* pointerOf(pugi::xml_node node) { return std::bit_cast<void*>(node); }

// Whether the handle refers to no node, without a library call.
bool isNull(pugi::xml_node node) { return pointerOf(node) == nullptr; }

Node wrap(pugi::xml_node node) { return Node(pointerOf(node)); }

Node wrap(pugi::xml_attribute attribute) {
  const auto pointer = std::bit_cast<std::uintptr_t>(attribute);
  if (pointer == 0) return Node();
  return Node(reinterpret_cast<void*>(pointer | kAttributeTag));
}

void requireHandle(const void* handle) {
  if (handle == nullptr) throw Error(kInvalidPointer);
}

// The staging element is the only element without a name.
bool isStaging(const pugi::xml_node& node) { return node.type() == pugi::node_element && *node.name() == '\0'; }

pugi::xml_node skipStaging(pugi::xml_node node) {
  if (documentsWithStaging.load(std::memory_order_relaxed) == 0) return node;
  return !isNull(node) && isStaging(node) ? node.next_sibling() : node;
}

// A valid node name, zero-terminated for pugixml; short names (all of a description's) stay on the stack.
class CheckedName {
 public:
  explicit CheckedName(std::string_view name) {
    if (!xmlsource::isValidName(name)) throw Error(kFailed, "invalid node name");
    if (name.size() < sizeof(inline_)) {
      std::memcpy(inline_, name.data(), name.size());
      inline_[name.size()] = '\0';
    } else {
      long_.assign(name);
    }
  }
  const char* c_str() const { return long_.empty() ? inline_ : long_.c_str(); }

 private:
  char inline_[64];
  std::string long_;
};

// pugixml holds NUL-terminated texts: a text with a zero byte cannot be stored whole.
void requireNoZeroByte(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) throw Error(kFailed, "text with a zero byte");
}

// Walks the descendants in document order without recursion, so that no nesting depth can
// exhaust the stack.
void appendTextDescendants(const pugi::xml_node& top, std::string& out) {
  pugi::xml_node node = top.first_child();
  while (node) {
    const pugi::xml_node_type type = node.type();
    if (type == pugi::node_pcdata || type == pugi::node_cdata) out += node.value();
    if (type == pugi::node_element && node.first_child() && !isStaging(node)) {
      node = node.first_child();
      continue;
    }
    while (!node.next_sibling()) {
      node = node.parent();
      if (node == top) return;
    }
    node = node.next_sibling();
  }
}

// The text of an XML declaration node, from its pseudo-attributes.
std::string declarationText(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (!text.empty()) text += ' ';
    text.append(a.name()).append("='").append(a.value()).append("'");
  }
  return text;
}

NodeType typeOf(const pugi::xml_node& node) {
  switch (node.type()) {
    case pugi::node_element:
      return NodeType::Element;
    case pugi::node_pcdata:
      return NodeType::Text;
    case pugi::node_cdata:
      return NodeType::CData;
    case pugi::node_pi:
    case pugi::node_declaration:
      return NodeType::ProcessingInstruction;
    case pugi::node_comment:
      return NodeType::Comment;
    case pugi::node_document:
      return NodeType::Document;
    default:
      return NodeType::Other;
  }
}

// A pugixml handle whose test for "no node" is inlined (pugixml's own is a library call).
template <class Handle>
struct Inlined {
  Handle handle;
  explicit operator bool() const noexcept { return std::bit_cast<std::uintptr_t>(handle) != 0; }
};

// pugixml's tree as the saved-text walk reads it: the walk calls pugixml on its own handles, and the
// staging element is left out.
struct PugiTree {
  using Node = Inlined<pugi::xml_node>;
  using Attribute = Inlined<pugi::xml_attribute>;

  pugi::xml_node staging;

  static NodeType type(Node node) { return typeOf(node.handle); }
  static const char* name(Node node, std::string&) { return node.handle.name(); }
  static const char* value(Node node, std::string&) { return node.handle.value(); }
  static const char* instructionData(Node node, std::string& buffer) {
    if (node.handle.type() != pugi::node_declaration) return node.handle.value();
    buffer = declarationText(node.handle);
    return buffer.c_str();
  }
  Node firstChild(Node node) const { return skipStaging(node.handle.first_child()); }
  Node nextSibling(Node node) const { return skipStaging(node.handle.next_sibling()); }
  Node skipStaging(pugi::xml_node node) const {
    return {pointerOf(node) == pointerOf(staging) && !isNull(node) ? node.next_sibling() : node};
  }
  static Attribute firstAttribute(Node element) { return {element.handle.first_attribute()}; }
  static Attribute nextAttribute(Node, Attribute attribute) { return {attribute.handle.next_attribute()}; }
  static const char* name(Attribute attribute, std::string&) { return attribute.handle.name(); }
  static const char* value(Attribute attribute, std::string&) { return attribute.handle.value(); }
};

template <class Operation>
auto mappingAllocationFailure(Operation operation) -> decltype(operation()) {
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemory);
  }
}

int comInitializations = 0;

}  // namespace

// ---- Node ------------------------------------------------------------------------------------------

Node::Node(const Node& other) noexcept = default;
Node& Node::operator=(const Node& other) noexcept = default;
Node::Node(Node&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
Node& Node::operator=(Node&& other) noexcept {
  handle_ = std::exchange(other.handle_, nullptr);
  return *this;
}
Node::~Node() = default;

NodeType Node::type() const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return NodeType::Attribute;
  return typeOf(asNode(handle_));
}

std::string Node::name() const {
  std::string buffer;
  const std::string_view text = name(buffer);
  return mappingAllocationFailure([&] { return std::string(text); });
}

std::string_view Node::name(std::string&) const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return asAttribute(handle_).name();
  const pugi::xml_node node = asNode(handle_);
  switch (node.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration:
      return node.name();
    case pugi::node_pcdata:
      return "#text";
    case pugi::node_cdata:
      return "#cdata-section";
    case pugi::node_comment:
      return "#comment";
    case pugi::node_document:
      return "#document";
    default:
      return "";
  }
}

namespace {

// Whether the zero-terminated `text` is exactly `name`, without counting its length first.
bool equalsTerminated(std::string_view name, const char* text) {
  for (const char c : name) {
    if (*text != c || c == '\0') return false;
    ++text;
  }
  return *text == '\0';
}

}  // namespace

bool Node::hasName(std::string_view name) const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return equalsTerminated(name, asAttribute(handle_).name());
  const pugi::xml_node node = asNode(handle_);
  return node.type() == pugi::node_element && equalsTerminated(name, node.name());
}

Node Node::firstChild() const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return Node();
  return wrap(skipStaging(asNode(handle_).first_child()));
}

Node Node::nextSibling() const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return Node();
  return wrap(skipStaging(asNode(handle_).next_sibling()));
}

std::string Node::value() const {
  std::string buffer;
  const std::string_view text = value(buffer);
  if (text.data() == buffer.data()) return buffer;
  return mappingAllocationFailure([&] { return std::string(text); });
}

std::string_view Node::value(std::string& buffer) const {
  requireHandle(handle_);
  return mappingAllocationFailure([&]() -> std::string_view {
    if (isAttributeHandle(handle_)) return asAttribute(handle_).value();
    const pugi::xml_node node = asNode(handle_);
    // Only elements and the document have children. Nearly every value element holds a single text
    // node, whose text is viewed in place: found without asking for the element's own type first.
    const pugi::xml_node first = node.first_child();
    if (!isNull(first)) {
      if (isNull(first.next_sibling())) {
        const pugi::xml_node_type type = first.type();
        if (type == pugi::node_pcdata || type == pugi::node_cdata) return first.value();
      }
      buffer.clear();
      appendTextDescendants(node, buffer);
      return buffer;
    }
    switch (node.type()) {
      case pugi::node_element:
      case pugi::node_document:
        return {};
      case pugi::node_declaration:
        buffer = declarationText(node);
        return buffer;
      default:
        return node.value();
    }
  });
}

void Node::setValue(std::string_view text) {
  requireHandle(handle_);
  requireNoZeroByte(text);
  if (isAttributeHandle(handle_)) {
    if (!asAttribute(handle_).set_value(text.data(), text.size())) throw Error(kOutOfMemory);
    return;
  }
  pugi::xml_node node = asNode(handle_);
  if (node.type() != pugi::node_element) {
    if (!node.set_value(text.data(), text.size())) throw Error(kFailed, "node without a value");
    return;
  }
  for (pugi::xml_node child = node.first_child(); !isNull(child); child = node.first_child()) node.remove_child(child);
  if (text.empty()) return;
  pugi::xml_node content = node.append_child(pugi::node_pcdata);
  if (!content || !content.set_value(text.data(), text.size())) throw Error(kOutOfMemory);
}

void Node::appendChild(const Node& child) {
  requireHandle(handle_);
  requireHandle(child.handle_);
  if (isAttributeHandle(handle_) || isAttributeHandle(child.handle_))
    throw Error(kFailed, "an attribute cannot be a parent or child");
  pugi::xml_node parent = asNode(handle_);
  if (!parent.append_move(asNode(child.handle_))) throw Error(kFailed, "the node cannot be appended here");
}

Node Node::attribute(std::string_view name) const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return Node();
  const pugi::xml_node node = asNode(handle_);
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    if (name == a.name()) return wrap(a);
  return Node();
}

Node Node::attributeAt(std::size_t index) const {
  requireHandle(handle_);
  if (isAttributeHandle(handle_)) return Node();
  pugi::xml_attribute a = asNode(handle_).first_attribute();
  for (; a && index > 0; --index) a = a.next_attribute();
  return wrap(a);
}

void Node::setAttribute(std::string_view name, std::string_view value) {
  requireHandle(handle_);
  if (isAttributeHandle(handle_) || asNode(handle_).type() != pugi::node_element)
    throw Error(kFailed, "only an element has attributes");
  requireNoZeroByte(value);
  pugi::xml_attribute target = asAttribute(attribute(name).handle());
  if (!target) target = asNode(handle_).append_attribute(CheckedName(name).c_str());
  if (!target || !target.set_value(value.data(), value.size())) throw Error(kOutOfMemory);
}

void Node::setNamedItem(const Node& attributeNode) {
  requireHandle(attributeNode.handle_);
  if (!isAttributeHandle(attributeNode.handle_)) throw Error(kFailed, "not an attribute");
  const pugi::xml_attribute source = asAttribute(attributeNode.handle_);
  setAttribute(source.name(), source.value());
}

// ---- Document --------------------------------------------------------------------------------------

Document Document::create() {
  try {
    return Document(std::make_shared<Impl>());
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemory);
  }
}

namespace {

constexpr unsigned kParseOptions =
    pugi::parse_cdata | pugi::parse_wconv_attribute | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration;

// The parse of a judged document: pugixml parses the checked text in place and keeps it, since its
// nodes point into it. The judge has already given its verdict; pugixml can only add that it could
// not build the tree.
LoadResult loadInto(std::shared_ptr<Document::Impl>& impl_, xmlsource::JudgedDocument judged) {
  using Impl = Document::Impl;
  try {
    if (!impl_) impl_ = std::make_shared<Impl>();
    Impl& impl = *impl_;
    impl.dropStaging();
    impl.document.reset();
    impl.source.clear();
    if (!judged.verdict) return judged.verdict;

    const std::string_view text(reinterpret_cast<const char*>(judged.text.data()), judged.text.size());
    // References and line-end normalisation cost the parser on every text; a text with no '&' or no
    // carriage return has none to resolve, and is parsed without that step.
    unsigned parseOptions = kParseOptions;
    if (text.find('&') != std::string_view::npos) parseOptions |= pugi::parse_escapes;
    if (text.find('\r') != std::string_view::npos) parseOptions |= pugi::parse_eol;
    impl.source = std::move(judged.text);
    const pugi::xml_parse_result result =
        impl.document.load_buffer_inplace(impl.source.data(), impl.source.size(), parseOptions, pugi::encoding_utf8);
    if (!result) {
      const std::string_view parsed(reinterpret_cast<const char*>(impl.source.data()), impl.source.size());
      const LoadStatus status =
          result.status == pugi::status_out_of_memory ? LoadStatus::OutOfMemory : LoadStatus::BeyondDomLimits;
      LoadResult refused = LoadResult::failure(
          status, xmlsource::describePosition(parsed, static_cast<std::size_t>(result.offset)) + ": " + result.description());
      impl.document.reset();
      impl.source.clear();
      return refused;
    }
    return {};
  } catch (const std::bad_alloc&) {
    if (impl_) {
      impl_->document.reset();
      impl_->source.clear();
    }
    return LoadResult::failure(LoadStatus::OutOfMemory, "out of memory");
  }
}

}  // namespace

LoadResult Document::load(const std::string& path) { return loadInto(impl_, xmlsource::judgeFile(path)); }

LoadResult Document::loadBytes(std::string_view bytes) { return loadInto(impl_, xmlsource::judgeBytes(bytes)); }

bool Document::save(const std::string& path, const std::string& backupPath) const {
  if (!impl_) throw Error(kInvalidPointer);
  const savedtext::TextBuffer text = savedtext::documentText(PugiTree{impl_->staging}, {impl_->document});
  return savedtext::writeToFile(path, text.view(), backupPath).unchanged;
}

std::string Document::text() const {
  if (!impl_) throw Error(kInvalidPointer);
  return savedtext::toString(savedtext::documentText(PugiTree{impl_->staging}, {impl_->document}));
}

Node Document::node() const {
  if (!impl_) throw Error(kInvalidPointer);
  return wrap(static_cast<pugi::xml_node>(impl_->document));
}

Node Document::createElement(std::string_view name) {
  if (!impl_) throw Error(kInvalidPointer);
  const pugi::xml_node element = impl_->stagingElement().append_child(CheckedName(name).c_str());
  if (!element) throw Error(kOutOfMemory);
  return wrap(element);
}

Node Document::appendElement(const Node& parent, std::string_view name) {
  if (!impl_) throw Error(kInvalidPointer);
  requireHandle(parent.handle());
  if (isAttributeHandle(parent.handle())) throw Error(kFailed, "an attribute cannot be a parent or child");
  pugi::xml_node parentNode = asNode(parent.handle());
  const pugi::xml_node element = parentNode.append_child(CheckedName(name).c_str());
  if (isNull(element)) {
    const pugi::xml_node_type type = parentNode.type();
    if (type != pugi::node_element && type != pugi::node_document) throw Error(kFailed, "the node cannot be appended here");
    throw Error(kOutOfMemory);
  }
  return wrap(element);
}

Node Document::createAttribute(std::string_view name) {
  if (!impl_) throw Error(kInvalidPointer);
  pugi::xml_attribute attribute = impl_->stagingElement().append_attribute(CheckedName(name).c_str());
  if (!attribute) throw Error(kOutOfMemory);
  return wrap(attribute);
}

Node Document::createProcessingInstruction(std::string_view target, std::string_view data) {
  if (!impl_) throw Error(kInvalidPointer);
  const CheckedName checked(target);
  requireNoZeroByte(data);
  if (data.find("?>") != std::string_view::npos) throw Error(kFailed, "\"?>\" in processing-instruction data");
  pugi::xml_node pi = impl_->stagingElement().append_child(pugi::node_pi);
  if (!pi || !pi.set_name(checked.c_str()) || !pi.set_value(data.data(), data.size())) throw Error(kOutOfMemory);
  return wrap(pi);
}

void Document::insertBefore(const Node& node, const Node& reference) {
  if (!impl_) throw Error(kInvalidPointer);
  requireHandle(node.handle());
  if (isAttributeHandle(node.handle()) || isAttributeHandle(reference.handle()))
    throw Error(kFailed, "an attribute is not a child of the document");
  pugi::xml_node documentNode = impl_->document;
  const pugi::xml_node moved = asNode(node.handle());
  const pugi::xml_node placed = reference ? documentNode.insert_move_before(moved, asNode(reference.handle()))
                                          : documentNode.append_move(moved);
  if (!placed) throw Error(kFailed, "the node cannot be placed here");
}

// ---- COM and availability ----------------------------------------------------------------------------

// With the DOM compiled in there is no COM: initialisations are only counted, so that tests can
// check that every provider and every save balances its own.
bool initializeCom() {
  ++comInitializations;
  return true;
}

void uninitializeCom() { --comInitializations; }

int comInitializationCount() { return comInitializations; }

bool IsMsxmlAvailable() {
  // The DOM is part of the program; the memory of a positive answer is kept as on Windows.
  static bool found = false;
  if (domMissingForTesting()) return false;
  if (!found) found = true;
  return found;
}

const char* domComponentName() { return "pugixml"; }

}  // namespace dom
