#pragma once
// The serialisers of a device-series description file: DeviceSeriesIO (format 1.0.0.0) and
// DeviceSeriesIO2 (format 3.3.0.0). Both read and write the same root content.
#include <string>

#include "model/DeviceSeries.h"
#include "xmlio/CommonIO.h"

class DeviceSeriesIO : public ICommonIO {
 public:
  explicit DeviceSeriesIO(std::string path) : ICommonIO(std::move(path)) {}

  FormatVersion& GetVersion(FormatVersion& version) const override;
  std::string GetRootName() const override { return "DeviceSeries"; }

  // Fills a fresh record from the file. False on any failure (reason in lastError()); the record may
  // then be partly filled. With the version check active, a document older than this serialiser
  // loads as true without being read, a newer one as false.
  bool LoadDocument(DeviceSeries& series);
  // As LoadDocument, but an older document is read by a DeviceSeriesIO (1.0.0.0) instead.
  bool LoadDocumentWithFallback(DeviceSeries& series);
  // Writes the record to the file, keeping the version of a file already there (else this
  // serialiser's own). Gives every media one feed calibration per model. False on any failure, with
  // the file untouched when the failure came before writing.
  bool SaveDocument(DeviceSeries& series);
  // The document SaveDocument writes, in memory (for measuring the save apart from the file). Throws
  // on failure; the caller has initialised COM.
  dom::Document ComposeDocument(DeviceSeries& series);
  // The text SaveDocument would write, in `text`, without writing anything; false on failure (reason
  // in lastError()).
  bool ComposeText(DeviceSeries& series, std::string& text);

 protected:
  virtual const char* versionText() const { return "1.0.0.0"; }
};

class DeviceSeriesIO2 : public DeviceSeriesIO {
 public:
  using DeviceSeriesIO::DeviceSeriesIO;

 protected:
  const char* versionText() const override { return "3.3.0.0"; }
};
