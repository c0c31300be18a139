#pragma once
// The DOM provider and the document frame: an XML declaration, one root element with the attribute
// strVersion holding the format version as four dotted numbers. The serialisers of a record type
// (DeviceSeriesIO, DeviceSeriesIO2) derive from ICommonIO and supply the root's content.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "xmlio/Dom.h"

// Four integers with the text form "%d.%d.%d.%d".
struct FormatVersion {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t build = 0;
  std::int32_t revision = 0;

  // sscanf "%d.%d.%d.%d"; components that are not there stay 0.
  static FormatVersion parse(std::string_view text);
  std::string text() const;
  // major x 1000000 + minor x 10000 + build x 100 + revision.
  std::int32_t packed() const;
  static FormatVersion unpack(std::int32_t packed);
  // -1, 0 or 1 comparing major, then minor (build and revision are ignored).
  static int compareMajorMinor(const FormatVersion& a, const FormatVersion& b);
  bool operator==(const FormatVersion&) const = default;
};

// The DOM provider: initialises COM, checks for the DOM and holds the document loaded from a file.
// A copy takes both flags and shares the document.
class MSXMLDOMCreator {
 public:
  MSXMLDOMCreator();
  MSXMLDOMCreator(const MSXMLDOMCreator& other);
  MSXMLDOMCreator& operator=(const MSXMLDOMCreator& other);
  virtual ~MSXMLDOMCreator();

  // Creates a document and loads `path` into it; never throws. The outcome is in document/openFailed.
  void LoadFile(const std::string& path);
  // As LoadFile, from a document's bytes in memory.
  void LoadBytes(std::string_view bytes);

  bool comReady = false;    // COM initialised by this provider and the DOM found
  bool openFailed = false;  // creating the document or loading the file failed
  dom::Document document;   // the loaded document, or empty
  dom::LoadResult openResult;  // what the last LoadFile did

 private:
  void load(const std::function<dom::LoadResult(dom::Document&)>& loadInto);
};

// A serialiser: one file, its DOM provider and the version of the document read from it. Load,
// probe and save catch every failure and report only their result; lastError() keeps why.
class ICommonIO {
 public:
  // "XMLIO reader reports lexically conforming but invalid structured xml file"
  class InterpretException : public std::runtime_error {
   public:
    InterpretException();
  };
  // The serialiser's own version and the document's; no message of its own.
  class VersionMismatchException : public std::exception {
   public:
    VersionMismatchException(const FormatVersion& own, const FormatVersion& document)
        : ownVersion(own), documentVersion(document) {}
    FormatVersion ownVersion;
    FormatVersion documentVersion;
  };

  explicit ICommonIO(std::string path);
  ICommonIO(const ICommonIO& other) = default;  // shares the other's document and documentVersion
  virtual ~ICommonIO() = default;

  // The serialiser's own format version, parsed each call.
  virtual FormatVersion& GetVersion(FormatVersion& version) const = 0;
  virtual std::string GetRootName() const = 0;

  // Makes sure the provider holds the document of this serialiser's file (re-creating a provider
  // whose open failed); true when it does.
  bool OpenDocument();
  // Makes the provider hold the document of `bytes` instead of the file's (which is then not read; the
  // path only names the document in messages); true when it does.
  bool OpenDocumentFrom(std::string_view bytes);
  // The first element named GetRootName() among the children of `parent` (the document when empty);
  // reads strVersion into documentVersion; throws InterpretException, std::runtime_error
  // ("<root>IO: Lacking version attribute") or VersionMismatchException (only with the check active).
  dom::Node FindRoot(const dom::Node& parent = dom::Node());
  // The root element with strVersion set to the version a save writes: the document's as read (or
  // taken over), else GetVersion()'s text while that is 0.
  dom::Node WriteRoot(dom::Document& document);
  // 0, or the comparison (-1, 0, 1) of the document's version with the serialiser's on a mismatch.
  int ProbeDocument();

  const std::string& path() const { return path_; }
  // What the last OpenDocument did: Loaded, or why not (NoDom when the DOM cannot be used at all).
  const dom::LoadResult& openResult() const { return provider_.openResult; }
  // Why the last load, probe or save failed, for tools; empty after a success. It is the
  // framework's own message, the DOM error, or the what() of any exception a reader or writer threw
  // (so a reader that adds the record and position to an error has them reported).
  const std::string& lastError() const { return lastError_; }
  // Why the last save failed, in the DOM's or the file layer's words without the path ("the file is
  // read-only"); empty after a success.
  const std::string& lastSaveFailure() const { return lastSaveFailure_; }
  // Whether the last successful save found the file already holding the text: nothing was written.
  bool lastSaveLeftFileUnchanged() const { return lastSaveUnchanged_; }

  // The version check of FindRoot runs only inside the host application itself (its title string,
  // id 57344, is "Tarvel Tessaprint Dual"); never in this installer. Tests may switch it on.
  static bool versionCheckActive();
  static void setVersionCheckForTesting(bool active);

  // The version of the last root read (or taken over from another serialiser), packed; 0 until then.
  std::int32_t documentVersion() const { return documentVersion_.packed(); }
  // Its four numbers as text, as a save writes them ("0.0.0.0" until a root is read).
  std::string documentVersionText() const { return documentVersion_.text(); }
  // Takes over the document version of another serialiser (its four numbers exactly), so that a
  // save writes the version the other one read rather than that of a file already at the path.
  void takeDocumentVersion(const ICommonIO& other) {
    documentVersion_ = other.documentVersion_;
    versionTaken_ = true;
  }
  // A save that replaces a file leaves the replaced file at `backupPath`, byte for byte.
  void keepReplacedFileAs(std::string backupPath) { backupPath_ = std::move(backupPath); }

 protected:
  enum class LoadOutcome { Loaded, Failed, DocumentOlder, DocumentNewer };
  // OpenDocument, FindRoot, then readContent(root). Every exception becomes Failed (with lastError
  // set), except a version mismatch, which becomes DocumentOlder or DocumentNewer.
  LoadOutcome loadContent(const std::function<void(const dom::Node& root)>& readContent);
  // The save: probes the file for the version to keep (unless one was taken over), creates a fresh
  // document with the XML declaration, appends writeContent(document) as root with that strVersion,
  // and saves it through a scratch file renamed over the path. False on any failure; the file at the
  // path is then as it was.
  bool saveContent(const std::function<dom::Node(dom::Document& document)>& writeContent);
  // The text such a save writes, in `text`, without writing anything. False on any failure
  // (lastError() says why).
  bool composeContent(const std::function<dom::Node(dom::Document& document)>& writeContent, std::string& text);
  // The document such a save writes, built in memory: the XML declaration and writeContent(document)
  // as root (which WriteRoot made). Throws what the DOM or the writer throws. The caller has
  // initialised COM.
  dom::Document documentToSave(const std::function<dom::Node(dom::Document& document)>& writeContent);

  MSXMLDOMCreator provider_;
  std::string path_;
  // The version of the last root read, in full: the packed form cannot hold components of 100 or
  // more, and a save writes all four numbers as they were read.
  FormatVersion documentVersion_;
  bool versionTaken_ = false;        // takeDocumentVersion was called: a save keeps that version
  std::string backupPath_;
  std::string lastError_;
  std::string lastSaveFailure_;
  bool lastSaveUnchanged_ = false;

 private:
  // "cannot open <path>: <why>" after a failed OpenDocument.
  std::string openFailure() const;
  // The root and the version it carries: FindRoot without the version check.
  struct FoundRoot {
    dom::Node root;
    FormatVersion version;
  };
  FoundRoot locateRoot(const dom::Node& parent = dom::Node());
  // The serialiser's own version, and the comparison (-1, 0, 1) of the document's major and minor
  // version with it where the version check runs; 0 where it does not.
  struct VersionOrder {
    int comparison = 0;
    FormatVersion own;
  };
  VersionOrder compareWithOwnVersion(const FormatVersion& documentVersionRead) const;
  // The strVersion a save writes.
  std::string versionTextToWrite() const;
};
