#pragma once
// What a load of a document did: one value, handed up unchanged from the backend to the run.
#include <cstddef>
#include <string>

namespace dom {

enum class LoadStatus {
  Loaded,
  NotWellFormed,    // the bytes break the XML 1.0 rules: the only verdict on the content itself
  Declined,         // well-formed or not, the project does not read it (a document type declaration
                    // that declares something, an encoding this program does not read, a file far
                    // larger than any description)
  BeyondDomLimits,  // well-formed, but the DOM refused to build it (nesting, sizes)
  Unreadable,       // the bytes could not be had (I/O, a link or no regular file at the path)
  OutOfMemory,
  NoDom,            // the DOM component is not installed or COM cannot be used
};

struct LoadResult {
  LoadStatus status = LoadStatus::Loaded;
  // What went wrong in words, with "line L, column C: " in front where there is a place; empty when
  // loaded.
  std::string reason;
  std::size_t line = 0;  // where the document breaks the rules (NotWellFormed), from 1; 0 elsewhere
  std::size_t column = 0;

  explicit operator bool() const { return status == LoadStatus::Loaded; }
  // Only this verdict says the content holds nothing to keep.
  bool notWellFormed() const { return status == LoadStatus::NotWellFormed; }

  static LoadResult failure(LoadStatus status, std::string reason) { return LoadResult{status, std::move(reason), 0, 0}; }
};

// "not well-formed", "declined", ... for messages and tests.
inline const char* describe(LoadStatus status) {
  switch (status) {
    case LoadStatus::Loaded: return "loaded";
    case LoadStatus::NotWellFormed: return "not well-formed";
    case LoadStatus::Declined: return "declined";
    case LoadStatus::BeyondDomLimits: return "beyond the DOM's limits";
    case LoadStatus::Unreadable: return "unreadable";
    case LoadStatus::OutOfMemory: return "out of memory";
    case LoadStatus::NoDom: return "no DOM";
  }
  return "unknown";
}

}  // namespace dom
