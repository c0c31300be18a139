#include "model/DeviceSeriesIO.h"

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

bool DeviceSeriesIO::SaveDocument(DeviceSeries& series) {
  return saveContent([&](dom::Document& doc) {
    dom::Node root = WriteRoot(doc);
    writeDeviceSeries(doc, series, root);
    return root;
  });
}
