// The DOM interface on MSXML 4.0 through COM (Windows build).
//
// A Node handle is an IXMLDOMNode pointer holding one counted reference. Text crosses to the DOM as
// UTF-16 (BSTR) and comes back as UTF-8. Where the component's own answers differ from what the
// framework is defined on, this file gives the framework's answers:
// - an element's value is the concatenation of the raw nodeValue of its text and CDATA descendants
//   (the component's `text` and `nodeTypedValue` trim surrounding white space);
// - values are written with put_text (put_nodeTypedValue can lose a value holding '&');
// - a file passes the same input checks as on the pugixml backend (xmlio/XmlSource.h) before the
//   component loads it, so both refuse the same documents (a document type declaration that
//   declares anything among them); only the component's own syntax verdict calls a file not
//   well-formed;
// - the component is given the checked text without its whitespace-only text between markup (what
//   pugixml drops), and keeps all other white space while it parses (its own dropping of blanks
//   also cuts spaces off text beside a reference or a line end);
// - names, and texts with characters that XML cannot hold, are refused when they are set;
// - the saved text is not the component's own serialisation: the walk of the tree that the
//   pugixml backend uses (xmlio/SavedText.h) reads this document node by node, and the bytes are
//   written through the platform's file layer.
// Each document holds its own COM initialisation, so that its nodes stay valid whoever else
// uninitialises; the component's libraries stay loaded until exit (IsMsxmlAvailable).
#include <windows.h>
#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cwctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/win32/WideText.h"
#include "xmlio/Dom.h"
#include "xmlio/SavedText.h"
#include "xmlio/XmlSource.h"

namespace {

// Interface identifiers of MSXML (mingw-w64 declares them without a definition).
constexpr IID kIidDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidDomElement = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidSaxXmlReader = {0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
constexpr IID kIidSaxErrorHandler = {0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};

// The component's versions, in the order they are looked for: 4.0, else 6.0 (a current Windows has
// 6.0 and no longer 4.0).
struct ComponentVersion {
  const char* name;
  const char* classKey;  // the DOM class's registration below HKEY_CLASSES_ROOT
  const wchar_t* documentProgId;
  const wchar_t* saxReaderProgId;
};
constexpr ComponentVersion kMsxml4 = {"MSXML 4.0", "CLSID\\{88d969c0-f192-11d4-a65f-0040963251e5}\\InProcServer32",
                                      L"Msxml2.DOMDocument.4.0", L"Msxml2.SAXXMLReader.4.0"};
constexpr ComponentVersion kMsxml6 = {"MSXML 6.0", "CLSID\\{88d96a05-f192-11d4-a65f-0040963251e5}\\InprocServer32",
                                      L"Msxml2.DOMDocument.6.0", L"Msxml2.SAXXMLReader.6.0"};

// The version the availability check found; 4.0 until it has found one.
const ComponentVersion*& foundVersion() {
  static const ComponentVersion* version = &kMsxml4;
  return version;
}
constexpr DWORD kEveryServerContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Raises the DOM error of a failing call; S_FALSE ("nothing there") is not a failure.
void check(HRESULT result) {
  if (FAILED(result)) throw dom::Error(static_cast<std::int32_t>(result));
}

// One counted COM reference.
template <class Interface>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(Interface* adopted) : pointer_(adopted) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      if (pointer_ != nullptr) pointer_->Release();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For an out-parameter: the reference it receives is adopted.
  Interface** out() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
    return &pointer_;
  }
  Interface* release() { return std::exchange(pointer_, nullptr); }

 private:
  Interface* pointer_ = nullptr;
};

// A BSTR owned for one call.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (text_ == nullptr) throw dom::Error(dom::kOutOfMemory);
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text_); }
  BSTR get() const { return text_; }
  BSTR* out() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  std::wstring_view view() const { return text_ == nullptr ? std::wstring_view() : std::wstring_view(text_, SysStringLen(text_)); }
  std::string utf8() const { return platform::win32::toUtf8(view()); }

 private:
  BSTR text_ = nullptr;
};

// A VARIANT cleared when it goes.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  explicit Variant(const Bstr& text) : Variant() {
    value_.vt = VT_BSTR;
    value_.bstrVal = SysAllocStringLen(text.view().data(), static_cast<UINT>(text.view().size()));
    if (value_.bstrVal == nullptr) throw dom::Error(dom::kOutOfMemory);
  }
  // A byte array (VT_ARRAY | VT_UI1): a document's bytes, which the component reads as it reads a file.
  explicit Variant(const std::vector<std::uint8_t>& bytes)
      : Variant(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {}
  explicit Variant(std::string_view bytes) : Variant() {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) throw dom::Error(dom::kOutOfMemory);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
      SafeArrayDestroy(array);
      throw dom::Error(dom::kFailed, "cannot fill a byte array");
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    value_.vt = VT_ARRAY | VT_UI1;
    value_.parray = array;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&value_); }
  VARIANT& get() { return value_; }
  VARIANT* out() {
    VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

// The text as UTF-16 for the DOM. Text that is not UTF-8, or holds a character that an XML document
// cannot contain, is refused here: the component would save it into a file that does not load.
Bstr textForDom(std::string_view text) {
  if (text.empty()) return Bstr(std::wstring());
  if (text.size() > static_cast<std::size_t>(INT_MAX)) throw dom::Error(dom::kOutOfMemory);
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (units <= 0) throw dom::Error(dom::kFailed, "text that is not valid UTF-8");
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), units);
  for (const wchar_t unit : wide) {
    const bool allowed = unit >= 0x20 ? unit != 0xFFFE && unit != 0xFFFF : unit == L'\t' || unit == L'\n' || unit == L'\r';
    if (!allowed) throw dom::Error(dom::kFailed, "a character that XML cannot hold");
  }
  return Bstr(wide);
}

Bstr nameForDom(std::string_view name) {
  if (!xmlsource::isValidName(name)) throw dom::Error(dom::kFailed, "invalid node name");
  return textForDom(name);
}

// COM initialisation of the calling thread, balanced when the holder goes.
class ComApartment {
 public:
  ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (initialized_) CoUninitialize();
  }

 private:
  bool initialized_;
};

IXMLDOMNode* nodeOf(const dom::Node& node) {
  if (!node) throw dom::Error(dom::kInvalidPointer);
  return static_cast<IXMLDOMNode*>(node.handle());
}

dom::Node adopt(IXMLDOMNode* node) { return dom::Node(node); }

DOMNodeType typeOf(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  check(node->get_nodeType(&type));
  return type;
}

// Text from the DOM as UTF-8 in `out`, whose room is reused.
std::string_view utf8Into(std::wstring_view text, std::string& out) {
  if (text.size() > static_cast<std::size_t>(INT_MAX) / 3) throw dom::Error(dom::kOutOfMemory);
  out.resize(text.size() * 3);
  const int written = text.empty() ? 0 : WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                                              static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(static_cast<std::size_t>(std::max(written, 0)));
  return out;
}

// A node value's text as UTF-8 in `out` (empty unless it holds text).
std::string_view utf8Of(Variant& value, std::string& out) {
  const VARIANT& held = value.get();
  if (held.vt != VT_BSTR || held.bstrVal == nullptr) return utf8Into({}, out);
  return utf8Into(std::wstring_view(held.bstrVal, SysStringLen(held.bstrVal)), out);
}

// The raw value of a text, CDATA, comment, processing-instruction or attribute node.
std::string nodeValueOf(IXMLDOMNode* node) {
  Variant value;
  check(node->get_nodeValue(value.out()));
  std::string text;
  utf8Of(value, text);
  return text;
}

void appendTextDescendants(IXMLDOMNode* node, std::string& out) {
  ComRef<IXMLDOMNode> child;
  check(node->get_firstChild(child.out()));
  while (child) {
    const DOMNodeType type = typeOf(child.get());
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
      out += nodeValueOf(child.get());
    } else if (type == NODE_ELEMENT) {
      appendTextDescendants(child.get(), out);
    }
    ComRef<IXMLDOMNode> next;
    check(child->get_nextSibling(next.out()));
    child = std::move(next);
  }
}

ComRef<IXMLDOMDocument2> createDomDocument() {
  CLSID classId{};
  check(CLSIDFromProgID(foundVersion()->documentProgId, &classId));
  ComRef<IXMLDOMDocument2> document;
  check(CoCreateInstance(classId, nullptr, kEveryServerContext, kIidDomDocument2, reinterpret_cast<void**>(document.out())));
  // What the framework relies on, set alike on both versions where their defaults differ: nothing
  // external is resolved, nothing validated, a document type declaration allowed (6.0 refuses one by
  // default; the input checks let through only one that declares nothing). Best effort: a property a
  // version does not know is its default already.
  document->put_resolveExternals(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  Variant no;
  no.get().vt = VT_BOOL;
  no.get().boolVal = VARIANT_FALSE;
  document->setProperty(Bstr(L"ProhibitDTD").get(), no.get());
  document->setProperty(Bstr(L"NewParser").get(), no.get());
  return document;
}

// ---- Availability of the component -------------------------------------------------------------------

// Keeps one library loaded from the moment it was loaded until the program ends.
class LibraryHolder {
 public:
  LibraryHolder() = default;
  LibraryHolder(const LibraryHolder&) = delete;
  LibraryHolder& operator=(const LibraryHolder&) = delete;
  ~LibraryHolder() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  bool load(const std::wstring& path) {
    if (module_ == nullptr) module_ = LoadLibraryExW(path.c_str(), nullptr, 0);
    return module_ != nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

// The library that a class registration names: the default value of its InprocServer32 key, of type
// REG_SZ, or REG_EXPAND_SZ expanded with the environment; empty when there is none.
std::wstring registeredServer(std::string_view classKey) {
  std::unique_ptr<platform::RegistryKey> key = platform::openRegistryKey(platform::RegistryRoot::ClassesRoot, classKey);
  if (!key) return {};
  std::uint32_t size = 0;
  std::uint32_t type = platform::kRegNone;
  if (key->query("", nullptr, size, type) != platform::QueryStatus::Ok) return {};
  if (type != platform::kRegSz && type != platform::kRegExpandSz) return {};
  std::string data(size, '\0');
  if (key->query("", reinterpret_cast<std::uint8_t*>(data.data()), size, type) != platform::QueryStatus::Ok) return {};
  data.resize(std::min<std::size_t>(size, data.find('\0')));
  std::wstring path = platform::win32::toWide(data);
  if (type == platform::kRegExpandSz && !path.empty()) {
    const DWORD needed = ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring expanded(needed, L'\0');
    if (ExpandEnvironmentStringsW(path.c_str(), expanded.data(), needed) == 0) return {};
    expanded.resize(expanded.find(L'\0'));
    path = std::move(expanded);
  }
  return path;
}

int comInitializations = 0;

}  // namespace

struct dom::Document::Impl {
  ComApartment apartment;  // declared first: uninitialised after the document is released
  ComRef<IXMLDOMDocument2> document;
};

namespace dom {

// ---- Node ------------------------------------------------------------------------------------------

Node::Node(const Node& other) noexcept : handle_(other.handle_) {
  if (handle_ != nullptr) static_cast<IXMLDOMNode*>(handle_)->AddRef();
}

Node& Node::operator=(const Node& other) noexcept {
  if (other.handle_ != nullptr) static_cast<IXMLDOMNode*>(other.handle_)->AddRef();
  if (handle_ != nullptr) static_cast<IXMLDOMNode*>(handle_)->Release();
  handle_ = other.handle_;
  return *this;
}

Node::Node(Node&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Node& Node::operator=(Node&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) static_cast<IXMLDOMNode*>(handle_)->Release();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Node::~Node() {
  if (handle_ != nullptr) static_cast<IXMLDOMNode*>(handle_)->Release();
}

NodeType Node::type() const {
  switch (typeOf(nodeOf(*this))) {
    case NODE_ELEMENT:
      return NodeType::Element;
    case NODE_ATTRIBUTE:
      return NodeType::Attribute;
    case NODE_TEXT:
      return NodeType::Text;
    case NODE_CDATA_SECTION:
      return NodeType::CData;
    case NODE_PROCESSING_INSTRUCTION:
      return NodeType::ProcessingInstruction;
    case NODE_COMMENT:
      return NodeType::Comment;
    case NODE_DOCUMENT:
      return NodeType::Document;
    default:
      return NodeType::Other;
  }
}

std::string Node::name() const {
  std::string buffer;
  name(buffer);
  return buffer;
}

std::string_view Node::name(std::string& buffer) const {
  Bstr name;
  check(nodeOf(*this)->get_nodeName(name.out()));
  return utf8Into(name.view(), buffer);
}

bool Node::hasName(std::string_view name) const {
  const NodeType nodeType = type();
  return (nodeType == NodeType::Element || nodeType == NodeType::Attribute) && this->name() == name;
}

Node Node::firstChild() const {
  IXMLDOMNode* node = nodeOf(*this);
  if (typeOf(node) == NODE_ATTRIBUTE) return Node();  // an attribute's text is its value, not a child
  ComRef<IXMLDOMNode> child;
  check(node->get_firstChild(child.out()));
  return adopt(child.release());
}

Node Node::nextSibling() const {
  // The component answers null for an attribute itself, which spares a walk a call per node.
  ComRef<IXMLDOMNode> next;
  check(nodeOf(*this)->get_nextSibling(next.out()));
  return adopt(next.release());
}

std::string Node::value() const {
  std::string buffer;
  value(buffer);
  return buffer;
}

std::string_view Node::value(std::string& buffer) const {
  IXMLDOMNode* node = nodeOf(*this);
  // The node's own value tells its kind without another call: an element's or the document's is
  // null, and theirs is the text of their descendants.
  Variant own;
  check(node->get_nodeValue(own.out()));
  if (own.get().vt == VT_NULL) {
    buffer.clear();
    appendTextDescendants(node, buffer);
    return buffer;
  }
  return utf8Of(own, buffer);
}

void Node::setValue(std::string_view text) {
  IXMLDOMNode* node = nodeOf(*this);
  const Bstr content = textForDom(text);
  switch (typeOf(node)) {
    case NODE_ELEMENT:
      if (text.empty()) {
        // No child at all, not an empty text node: the element is then saved as <name />.
        for (ComRef<IXMLDOMNode> child; SUCCEEDED(node->get_firstChild(child.out())) && child;) {
          ComRef<IXMLDOMNode> removed;
          check(node->removeChild(child.get(), removed.out()));
        }
        return;
      }
      [[fallthrough]];
    case NODE_ATTRIBUTE:
      // Replaces all children by one text node.
      check(node->put_text(content.get()));
      return;
    case NODE_DOCUMENT:
      throw Error(kFailed, "node without a value");
    default: {
      Variant value(content);
      check(node->put_nodeValue(value.get()));
    }
  }
}

void Node::appendChild(const Node& child) {
  IXMLDOMNode* parent = nodeOf(*this);
  IXMLDOMNode* added = nodeOf(child);
  if (typeOf(parent) == NODE_ATTRIBUTE || typeOf(added) == NODE_ATTRIBUTE)
    throw Error(kFailed, "an attribute cannot be a parent or child");
  ComRef<IXMLDOMNode> appended;
  check(parent->appendChild(added, appended.out()));
}

Node Node::attribute(std::string_view name) const {
  ComRef<IXMLDOMNamedNodeMap> attributes;
  check(nodeOf(*this)->get_attributes(attributes.out()));
  if (!attributes) return Node();
  const Bstr wanted = textForDom(name);
  const Bstr noNamespace(std::wstring{});
  ComRef<IXMLDOMNode> found;
  check(attributes->getQualifiedItem(wanted.get(), noNamespace.get(), found.out()));
  return adopt(found.release());
}

Node Node::attributeAt(std::size_t index) const {
  ComRef<IXMLDOMNamedNodeMap> attributes;
  check(nodeOf(*this)->get_attributes(attributes.out()));
  if (!attributes || index > static_cast<std::size_t>(LONG_MAX)) return Node();
  ComRef<IXMLDOMNode> found;
  check(attributes->get_item(static_cast<long>(index), found.out()));
  return adopt(found.release());
}

void Node::setNamedItem(const Node& attributeNode) {
  IXMLDOMNode* added = nodeOf(attributeNode);
  if (typeOf(added) != NODE_ATTRIBUTE) throw Error(kFailed, "not an attribute");
  IXMLDOMNode* node = nodeOf(*this);
  if (typeOf(node) != NODE_ELEMENT) throw Error(kFailed, "only an element has attributes");
  ComRef<IXMLDOMNamedNodeMap> attributes;
  check(node->get_attributes(attributes.out()));
  if (!attributes) throw Error(kFailed, "only an element has attributes");
  ComRef<IXMLDOMNode> replaced;
  check(attributes->setNamedItem(added, replaced.out()));
}

void Node::setAttribute(std::string_view name, std::string_view value) {
  IXMLDOMNode* node = nodeOf(*this);
  if (typeOf(node) != NODE_ELEMENT) throw Error(kFailed, "only an element has attributes");
  ComRef<IXMLDOMElement> element;
  check(node->QueryInterface(kIidDomElement, reinterpret_cast<void**>(element.out())));
  const Bstr attributeName = nameForDom(name);
  Variant attributeValue(textForDom(value));
  check(element->setAttribute(attributeName.get(), attributeValue.get()));
}

// ---- Document --------------------------------------------------------------------------------------

namespace {

std::shared_ptr<Document::Impl> newImpl() {
  try {
    auto impl = std::make_shared<Document::Impl>();
    impl->document = createDomDocument();
    return impl;
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemory);
  }
}

IXMLDOMDocument2* documentOf(const std::shared_ptr<Document::Impl>& impl) {
  if (!impl || !impl->document) throw Error(kInvalidPointer);
  return impl->document.get();
}

// Keeps the first error that a SAX parse reports, with its place. It lives on its user's stack.
class FirstParseError : public ISAXErrorHandler {
 public:
  HRESULT WINAPI QueryInterface(REFIID id, void** object) override {
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, kIidSaxErrorHandler)) {
      *object = static_cast<ISAXErrorHandler*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG WINAPI AddRef() override { return 2; }
  ULONG WINAPI Release() override { return 1; }
  HRESULT WINAPI error(ISAXLocator* locator, const wchar_t* message, HRESULT) override { return keep(locator, message); }
  HRESULT WINAPI fatalError(ISAXLocator* locator, const wchar_t* message, HRESULT) override { return keep(locator, message); }
  HRESULT WINAPI ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }

  std::string text;  // "line L, column C: reason", or empty when nothing was reported

 private:
  HRESULT keep(ISAXLocator* locator, const wchar_t* message) {
    if (!text.empty()) return S_OK;
    std::string reason = message != nullptr ? platform::win32::toUtf8(message) : std::string("not well-formed");
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) reason.pop_back();
    int line = 0;
    int column = 0;
    if (locator != nullptr && SUCCEEDED(locator->getLineNumber(&line)) && SUCCEEDED(locator->getColumnNumber(&column)) && line > 0) {
      text = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    }
    text += reason;
    return S_OK;
  }
};

// Why the component did not load the document. Its DOM's parse error carries no place, so the
// document is parsed once more by its SAX reader, whose locator knows where the parse stopped.
std::string describeParseError(std::string_view parsed) {
  try {
    CLSID classId{};
    check(CLSIDFromProgID(foundVersion()->saxReaderProgId, &classId));
    ComRef<ISAXXMLReader> reader;
    check(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, kIidSaxXmlReader, reinterpret_cast<void**>(reader.out())));
    FirstParseError firstError;
    check(reader->putErrorHandler(&firstError));
    Variant source{parsed};
    reader->parse(source.get());
    reader->putErrorHandler(nullptr);
    if (!firstError.text.empty()) return firstError.text;
  } catch (const Error&) {
    // no reader: the reason stays general
  }
  return "not well-formed XML";
}

}  // namespace

Document Document::create() {
  // The component's libraries are pinned first: nodes may outlive every COM initialisation.
  IsMsxmlAvailable();
  return Document(newImpl());
}

namespace {

// The parse of a judged document. The component is given the checked text without its blank text: it
// then builds the tree the framework reads (whitespace-only text between elements dropped, every
// other text untrimmed) while it parses, with all white space kept. A bare document type declaration
// is left out (no node of the tree, and Wine's component cannot walk past one), and the XML
// declaration is made to declare UTF-8, which the checked text is. The judge has already given its
// verdict on the bytes; the component can only add that it could not build the tree (its limits on
// nesting and sizes).
LoadResult loadInto(std::shared_ptr<Document::Impl>& impl_, xmlsource::JudgedDocument judged) {
  try {
    if (!impl_) impl_ = newImpl();
    Document::Impl& impl = *impl_;
    impl.document = createDomDocument();  // empty until the document has loaded
    if (!judged.verdict) return judged.verdict;
    const std::string parsed = xmlsource::withoutBlankText(judged);
    judged.text = {};

    ComRef<IXMLDOMDocument2> loading = createDomDocument();
    check(loading->put_async(VARIANT_FALSE));
    check(loading->put_preserveWhiteSpace(VARIANT_TRUE));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    Variant parsedBytes{std::string_view(parsed)};
    const HRESULT result = loading->load(parsedBytes.get(), &loaded);
    if (result == E_OUTOFMEMORY) return LoadResult::failure(LoadStatus::OutOfMemory, "out of memory");
    if (FAILED(result) || loaded != VARIANT_TRUE)
      return LoadResult::failure(LoadStatus::BeyondDomLimits, "the XML DOM cannot hold this document (" +
                                                                  describeParseError(parsed) + ")");
    impl.document = std::move(loading);
    return {};
  } catch (const Error& error) {
    // A failure of the component or the system is no verdict on the file.
    if (error.code() == kOutOfMemory) return LoadResult::failure(LoadStatus::OutOfMemory, "out of memory");
    return LoadResult::failure(LoadStatus::BeyondDomLimits, error.what());
  } catch (const std::bad_alloc&) {
    return LoadResult::failure(LoadStatus::OutOfMemory, "out of memory");
  }
}

}  // namespace

LoadResult Document::load(const std::string& path) {
  return loadInto(impl_, xmlsource::judgeFile(path, xmlsource::BlankText::Listed));
}

LoadResult Document::loadBytes(std::string_view bytes) {
  return loadInto(impl_, xmlsource::judgeBytes(bytes, xmlsource::BlankText::Listed));
}

bool Document::save(const std::string& path, const std::string& backupPath) const {
  const savedtext::TextBuffer text = savedtext::documentText(savedtext::DomTree{}, node());
  return savedtext::writeToFile(path, text.view(), backupPath).unchanged;
}

std::string Document::text() const { return savedtext::toString(savedtext::documentText(savedtext::DomTree{}, node())); }

Node Document::node() const {
  IXMLDOMDocument2* document = documentOf(impl_);
  document->AddRef();
  return adopt(document);
}

Node Document::createElement(std::string_view name) {
  const Bstr elementName = nameForDom(name);
  ComRef<IXMLDOMElement> element;
  check(documentOf(impl_)->createElement(elementName.get(), element.out()));
  return adopt(element.release());
}

Node Document::appendElement(const Node& parent, std::string_view name) {
  Node element = createElement(name);
  Node(parent).appendChild(element);
  return element;
}

Node Document::createAttribute(std::string_view name) {
  const Bstr attributeName = nameForDom(name);
  ComRef<IXMLDOMAttribute> attribute;
  check(documentOf(impl_)->createAttribute(attributeName.get(), attribute.out()));
  return adopt(attribute.release());
}

Node Document::createProcessingInstruction(std::string_view target, std::string_view data) {
  const Bstr targetName = nameForDom(target);
  if (data.find("?>") != std::string_view::npos) throw Error(kFailed, "\"?>\" in processing-instruction data");
  const Bstr content = textForDom(data);
  ComRef<IXMLDOMProcessingInstruction> instruction;
  check(documentOf(impl_)->createProcessingInstruction(targetName.get(), content.get(), instruction.out()));
  return adopt(instruction.release());
}

void Document::insertBefore(const Node& node, const Node& reference) {
  IXMLDOMDocument2* document = documentOf(impl_);
  IXMLDOMNode* inserted = nodeOf(node);
  if (typeOf(inserted) == NODE_ATTRIBUTE) throw Error(kFailed, "an attribute is not a child of the document");
  Variant before;
  if (reference) {
    IXMLDOMNode* referenceNode = nodeOf(reference);
    if (typeOf(referenceNode) == NODE_ATTRIBUTE) throw Error(kFailed, "an attribute is not a child of the document");
    before.get().vt = VT_UNKNOWN;
    before.get().punkVal = referenceNode;
    referenceNode->AddRef();
  }
  ComRef<IXMLDOMNode> placed;
  check(document->insertBefore(inserted, before.get(), placed.out()));
}

// ---- COM and availability ----------------------------------------------------------------------------

bool initializeCom() {
  if (FAILED(CoInitialize(nullptr))) return false;
  ++comInitializations;
  return true;
}

void uninitializeCom() {
  CoUninitialize();
  --comInitializations;
}

int comInitializationCount() { return comInitializations; }

bool IsMsxmlAvailable() {
  static bool found = false;
  static LibraryHolder domLibrary;
  static LibraryHolder parserLibrary;
  if (domMissingForTesting()) return false;
  if (found) return true;
  // MSXML 4.0 first, checked as it always was; a test may make only this check fail.
  const char* skip4 = std::getenv("NEXLUME_TEST_WITHOUT_MSXML4");
  const std::wstring domServer = skip4 != nullptr && *skip4 != '\0' ? std::wstring() : registeredServer(kMsxml4.classKey);
  if (!domServer.empty() && domLibrary.load(domServer)) {
    // The second library is kept loaded when it is registered; whether it is makes no difference.
    const std::wstring parserServer = registeredServer("CLSID\\{32B533BB-EDAE-11d0-BD5A-00AA00B92AF1}\\InprocServer32");
    if (!parserServer.empty()) parserLibrary.load(parserServer);
    foundVersion() = &kMsxml4;
    found = true;
    return true;
  }
  // Else MSXML 6.0 the same way: its own class registration and library.
  const std::wstring server6 = registeredServer(kMsxml6.classKey);
  if (server6.empty() || !domLibrary.load(server6)) return false;
  foundVersion() = &kMsxml6;
  found = true;
  return true;
}

const char* domComponentName() { return IsMsxmlAvailable() ? foundVersion()->name : "none"; }

}  // namespace dom
