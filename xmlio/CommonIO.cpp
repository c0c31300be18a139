#include "xmlio/CommonIO.h"

#include <cstdio>
#include <limits>
#include <new>
#include <optional>

#include "platform/Resources.h"
#include "xmlio/Encodings.h"

// ---- FormatVersion ---------------------------------------------------------------------------------

FormatVersion FormatVersion::parse(std::string_view text) {
  // "%d.%d.%d.%d": each number may follow white space and carry a sign; parsing stops at the first
  // text that does not fit, and the components not reached stay 0. Numbers saturate like parseInt.
  FormatVersion version;
  std::int32_t* components[] = {&version.major, &version.minor, &version.build, &version.revision};
  std::size_t at = 0;
  for (std::size_t k = 0; k < 4; ++k) {
    if (k > 0) {
      if (at >= text.size() || text[at] != '.') break;
      ++at;
    }
    std::size_t i = at;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits) break;
    *components[k] = parseInt(text.substr(at, i - at));
    at = i;
  }
  return version;
}

std::string FormatVersion::text() const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", major, minor, build, revision);
  return buffer;
}

std::int32_t FormatVersion::packed() const {
  // Computed wide and clamped, so that absurd components cannot overflow.
  const std::int64_t wide = std::int64_t{major} * 1000000 + std::int64_t{minor} * 10000 + std::int64_t{build} * 100 +
                            std::int64_t{revision};
  if (wide > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (wide < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(wide);
}

FormatVersion FormatVersion::unpack(std::int32_t packedVersion) {
  return {packedVersion / 1000000, (packedVersion % 1000000) / 10000, (packedVersion % 10000) / 100,
          packedVersion % 100};
}

int FormatVersion::compareMajorMinor(const FormatVersion& a, const FormatVersion& b) {
  if (a.major != b.major) return a.major < b.major ? -1 : 1;
  if (a.minor != b.minor) return a.minor < b.minor ? -1 : 1;
  return 0;
}

// ---- MSXMLDOMCreator -------------------------------------------------------------------------------

namespace {

// Initialises COM and checks for the DOM; comReady tells whether both succeeded. Each provider
// balances its own initialisation.
bool initializeComWithDom() {
  if (!dom::initializeCom()) return false;
  if (dom::IsMsxmlAvailable()) return true;
  dom::uninitializeCom();
  return false;
}

}  // namespace

MSXMLDOMCreator::MSXMLDOMCreator() { comReady = initializeComWithDom(); }

MSXMLDOMCreator::MSXMLDOMCreator(const MSXMLDOMCreator& other)
    : openFailed(other.openFailed),
      document(other.document),
      openResult(other.openResult) {
  // The copy shares the document; it takes the ready state by initialising COM for itself, so that
  // its destructor balances an initialisation of its own.
  comReady = other.comReady && dom::initializeCom();
}

MSXMLDOMCreator& MSXMLDOMCreator::operator=(const MSXMLDOMCreator& other) {
  if (this == &other) return *this;
  const bool ready = other.comReady && dom::initializeCom();
  if (comReady) dom::uninitializeCom();
  comReady = ready;
  openFailed = other.openFailed;
  document = other.document;
  openResult = other.openResult;
  return *this;
}

MSXMLDOMCreator::~MSXMLDOMCreator() {
  document = dom::Document();
  if (comReady) dom::uninitializeCom();
}

void MSXMLDOMCreator::LoadFile(const std::string& path) {
  load([&path](dom::Document& fresh) { return fresh.load(path); });
}

void MSXMLDOMCreator::LoadBytes(std::string_view bytes) {
  load([bytes](dom::Document& fresh) { return fresh.loadBytes(bytes); });
}

void MSXMLDOMCreator::load(const std::function<dom::LoadResult(dom::Document&)>& loadInto) {
  try {
    if (!comReady) {
      openResult = dom::LoadResult::failure(dom::LoadStatus::NoDom, "the XML DOM is not available");
    } else {
      dom::Document loaded = dom::Document::create();
      openResult = loadInto(loaded);
      if (openResult) {
        document = std::move(loaded);
        openFailed = false;
        return;
      }
    }
  } catch (const std::bad_alloc&) {
    openResult = dom::LoadResult::failure(dom::LoadStatus::OutOfMemory, "out of memory");
  } catch (const dom::Error& e) {
    // The document could not even be created.
    openResult = dom::LoadResult::failure(e.code() == dom::kOutOfMemory ? dom::LoadStatus::OutOfMemory : dom::LoadStatus::NoDom, e.what());
  }
  document = dom::Document();
  openFailed = true;
}

// ---- ICommonIO -------------------------------------------------------------------------------------

ICommonIO::InterpretException::InterpretException()
    : std::runtime_error("XMLIO reader reports lexically conforming but invalid structured xml file") {}

ICommonIO::ICommonIO(std::string path) : path_(std::move(path)) {}

namespace {

constexpr int kApplicationTitleId = 57344;
constexpr std::string_view kHostTitle = "Tarvel Tessaprint Dual";

std::optional<bool>& versionCheckOverride() {
  static std::optional<bool> active;
  return active;
}

std::string describeException(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}

}  // namespace

bool ICommonIO::versionCheckActive() {
  if (versionCheckOverride()) return *versionCheckOverride();
  // Only the host application itself carries its title in the string table.
  static const bool insideHost = platform::loadString(kApplicationTitleId) == std::optional<std::string>(kHostTitle);
  return insideHost;
}

void ICommonIO::setVersionCheckForTesting(bool active) { versionCheckOverride() = active; }

bool ICommonIO::OpenDocument() {
  if (provider_.openFailed) provider_ = MSXMLDOMCreator();
  if (provider_.document) return true;
  provider_.LoadFile(path_);
  return provider_.document && !provider_.openFailed;
}

bool ICommonIO::OpenDocumentFrom(std::string_view bytes) {
  if (provider_.openFailed || provider_.document) provider_ = MSXMLDOMCreator();
  provider_.LoadBytes(bytes);
  return provider_.document && !provider_.openFailed;
}

std::string ICommonIO::openFailure() const {
  return "cannot open \"" + path_ + "\"" + (provider_.openResult.reason.empty() ? "" : ": " + provider_.openResult.reason);
}

dom::Node ICommonIO::FindRoot(const dom::Node& parent) {
  const FoundRoot found = locateRoot(parent);
  if (const VersionOrder order = compareWithOwnVersion(found.version); order.comparison != 0)
    throw VersionMismatchException(order.own, found.version);
  return found.root;
}

ICommonIO::FoundRoot ICommonIO::locateRoot(const dom::Node& parent) {
  const dom::Node start = parent ? parent : provider_.document.node();
  const std::string rootName = GetRootName();
  dom::Node root;
  forEachChild(start, [&](const dom::Node& child) {
    if (!root && child.type() == dom::NodeType::Element && child.hasName(rootName)) root = child;
  });
  if (!root) throw InterpretException();

  const dom::Node versionAttribute = root.attribute("strVersion");
  if (!versionAttribute) throw std::runtime_error(rootName + "IO: Lacking version attribute");
  const FormatVersion version = FormatVersion::parse(readStringValue(versionAttribute));
  documentVersion_ = version;
  return {root, version};
}

// The version check: only the host application itself refuses a document whose major and minor
// version differ from the serialiser's; this installer reads every version (the check never runs in
// it, since it does not carry the host's title), and tests switch it on.
ICommonIO::VersionOrder ICommonIO::compareWithOwnVersion(const FormatVersion& documentVersionRead) const {
  VersionOrder order;
  if (!versionCheckActive()) return order;
  GetVersion(order.own);
  order.comparison = FormatVersion::compareMajorMinor(documentVersionRead, order.own);
  return order;
}

dom::Node ICommonIO::WriteRoot(dom::Document& document) {
  dom::Node root = document.createElement(GetRootName());
  root.setAttribute("strVersion", versionTextToWrite());
  return root;
}

int ICommonIO::ProbeDocument() {
  try {
    if (!OpenDocument()) {
      lastError_ = openFailure();
      return 0;
    }
    const FoundRoot found = locateRoot();
    lastError_.clear();
    return compareWithOwnVersion(found.version).comparison;
  } catch (...) {
    lastError_ = describeException(std::current_exception());
    return 0;
  }
}

ICommonIO::LoadOutcome ICommonIO::loadContent(const std::function<void(const dom::Node& root)>& readContent) {
  try {
    if (!OpenDocument()) {
      lastError_ = openFailure();
      return LoadOutcome::Failed;
    }
    const FoundRoot found = locateRoot();
    if (const VersionOrder order = compareWithOwnVersion(found.version); order.comparison != 0) {
      const bool newer = order.comparison > 0;
      lastError_ = "document version " + found.version.text() + " is " + (newer ? "newer" : "older") +
                   " than the format version " + order.own.text();
      return newer ? LoadOutcome::DocumentNewer : LoadOutcome::DocumentOlder;
    }
    readContent(found.root);
    lastError_.clear();
    return LoadOutcome::Loaded;
  } catch (...) {
    lastError_ = describeException(std::current_exception());
    return LoadOutcome::Failed;
  }
}

std::string ICommonIO::versionTextToWrite() const {
  if (documentVersion() != 0) return documentVersion_.text();
  FormatVersion own;
  return GetVersion(own).text();
}

dom::Document ICommonIO::documentToSave(const std::function<dom::Node(dom::Document& document)>& writeContent) {
  dom::Document document = dom::Document::create();
  document.insertBefore(document.createProcessingInstruction("xml", "version='1.0' encoding='UTF-8'"), dom::Node());
  document.node().appendChild(writeContent(document));
  return document;
}

namespace {

// COM initialised for the whole of a save and balanced on every path.
struct ComForSave {
  bool ready = initializeComWithDom();
  ComForSave() = default;
  ComForSave(const ComForSave&) = delete;
  ComForSave& operator=(const ComForSave&) = delete;
  ~ComForSave() {
    if (ready) dom::uninitializeCom();
  }
};

}  // namespace

bool ICommonIO::composeContent(const std::function<dom::Node(dom::Document& document)>& writeContent, std::string& text) {
  ComForSave com;
  if (!com.ready) {
    lastError_ = "the XML DOM is not available";
    return false;
  }
  try {
    if (!versionTaken_) ProbeDocument();
    text = documentToSave(writeContent).text();
    lastError_.clear();
    return true;
  } catch (...) {
    lastError_ = describeException(std::current_exception());
    return false;
  }
}

bool ICommonIO::saveContent(const std::function<dom::Node(dom::Document& document)>& writeContent) {
  ComForSave com;
  if (!com.ready) {
    lastError_ = lastSaveFailure_ = "the XML DOM is not available";
    return false;
  }
  lastSaveFailure_.clear();
  try {
    // Sets documentVersion from the file on disk when it has a root with a version, unless a version
    // was taken over from another serialiser.
    if (!versionTaken_) ProbeDocument();
    lastSaveUnchanged_ = documentToSave(writeContent).save(path_, backupPath_);
    lastError_.clear();
    return true;
  } catch (...) {
    // A failed file write says why in its detail ("the file is read-only"), which is the reason to give.
    try {
      throw;
    } catch (const dom::Error& error) {
      lastSaveFailure_ = *error.detail() != '\0' ? error.detail() : error.what();
    } catch (...) {
      lastSaveFailure_ = describeException(std::current_exception());
    }
    lastError_ = "cannot save \"" + path_ + "\": " + lastSaveFailure_;
    return false;
  }
}
