#include "model/DeviceSeriesIO.h"

#include <functional>

FormatVersion& DeviceSeriesIO::GetVersion(FormatVersion& version) const {
  version = FormatVersion::parse(versionText());
  return version;
}

bool DeviceSeriesIO::LoadDocument(DeviceSeries& series) {
  switch (loadContent([&](const dom::Node& root) { readDeviceSeries(root, series); })) {
    case LoadOutcome::Loaded:
    case LoadOutcome::DocumentOlder:
      return true;
    case LoadOutcome::Failed:
    case LoadOutcome::DocumentNewer:
      break;
  }
  return false;
}

bool DeviceSeriesIO::LoadDocumentWithFallback(DeviceSeries& series) {
  switch (loadContent([&](const dom::Node& root) { readDeviceSeries(root, series); })) {
    case LoadOutcome::Loaded:
      return true;
    case LoadOutcome::DocumentOlder: {
      DeviceSeriesIO fallback(path());
      const bool loaded = fallback.LoadDocument(series);
      lastError_ = fallback.lastError();
      return loaded;
    }
    case LoadOutcome::Failed:
    case LoadOutcome::DocumentNewer:
      break;
  }
  return false;
}

namespace {

// The root element with the whole record.
std::function<dom::Node(dom::Document&)> rootWriter(DeviceSeriesIO& io, DeviceSeries& series) {
  return [&io, &series](dom::Document& doc) {
    dom::Node root = io.WriteRoot(doc);
    writeDeviceSeries(doc, series, root);
    return root;
  };
}

}  // namespace

bool DeviceSeriesIO::SaveDocument(DeviceSeries& series) { return saveContent(rootWriter(*this, series)); }

bool DeviceSeriesIO::ComposeText(DeviceSeries& series, std::string& text) {
  return composeContent(rootWriter(*this, series), text);
}

dom::Document DeviceSeriesIO::ComposeDocument(DeviceSeries& series) {
  return documentToSave(rootWriter(*this, series));
}
