#include "DsrTool.h"

#include <filesystem>
#include <ostream>
#include <string_view>

#include "JsonDump.h"
#include "app/DeviceSeriesMerge.h"
#include "model/DeviceSeriesIO.h"

namespace {

struct Subcommand {
  std::string_view name;
  std::string_view operands;  // for the usage text
  std::size_t operandCount;
  int (*run)(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err);
};

// Loads `path` as the update merge does; false with the reason on err.
bool load(DeviceSeriesIO2& io, DeviceSeries& series, std::ostream& err) {
  if (io.LoadDocumentWithFallback(series)) return true;
  err << "dsrtool: " << io.path() << ": " << (io.lastError().empty() ? "does not load" : io.lastError()) << "\n";
  return false;
}

int check(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 io(operands[0]);
  DeviceSeries series;
  if (!load(io, series, err)) return kExitUnreadable;
  out << io.path() << ": DeviceSeries " << FormatVersion::unpack(io.documentVersion).text() << ", "
      << series.aModelInfoList.size() << " models, " << series.aInkInfoList.size() << " inks, "
      << series.aInkConfigInfoList.size() << " ink configurations, " << series.aResolutionInfoList.size()
      << " resolutions, " << series.aModeInfoList.size() << " modes, " << series.aSeparationInfoList.size()
      << " separations, " << series.aVControlPointList.size() << " control points, "
      << series.aPatternInfoList.size() << " patterns, " << series.aMediaInfoList.size() << " media, "
      << series.aPrintChartFileInfoSetList.size() << " print-chart sets, " << series.aInkVolumeInfoList.size()
      << " ink-volume tables\n";
  return kExitOk;
}

int dump(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 io(operands[0]);
  DeviceSeries series;
  if (!load(io, series, err)) return kExitUnreadable;
  out << dumpDeviceSeriesJson(series);
  return kExitOk;
}

// Saves `series` beside `target` first and renames, so that `target` is either untouched or complete;
// the file takes the version `versionOf` read rather than that of a file already at `target`.
int saveReplacing(DeviceSeries& series, const ICommonIO& versionOf, const std::string& target, std::ostream& err) {
  const std::string temporary = target + ".dsrtool-tmp";
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  DeviceSeriesIO2 out(temporary);
  out.takeDocumentVersion(versionOf);
  if (!out.SaveDocument(series)) {
    err << "dsrtool: " << target << ": " << out.lastError() << "\n";
    std::filesystem::remove(temporary, ignored);
    return kExitUnreadable;
  }
  std::error_code renameError;
  std::filesystem::rename(temporary, target, renameError);
  if (renameError) {
    err << "dsrtool: " << target << ": cannot replace the file: " << renameError.message() << "\n";
    std::filesystem::remove(temporary, ignored);
    return kExitUnreadable;
  }
  return kExitOk;
}

int resave(const std::vector<std::string>& operands, std::ostream&, std::ostream& err) {
  DeviceSeriesIO2 in(operands[0]);
  DeviceSeries series;
  if (!load(in, series, err)) return kExitUnreadable;
  return saveReplacing(series, in, operands[1], err);
}

// The installer's update merge of INSTALLED into NEW, saved to OUT with NEW's version.
int merge(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 installedIO(operands[0]), newIO(operands[1]);
  DeviceSeries installed, fresh;
  if (!load(installedIO, installed, err) || !load(newIO, fresh, err)) return kExitUnreadable;
  const MergeReport report = mergeDeviceSeries(installed, fresh);
  const int status = saveReplacing(fresh, newIO, operands[2], err);
  if (status == kExitOk)
    for (const std::string& line : report.describe()) out << line << "\n";
  return status;
}

constexpr Subcommand kSubcommands[] = {
    {"check", "FILE", 1, check},
    {"dump", "FILE", 1, dump},
    {"resave", "IN OUT", 2, resave},
    {"merge", "INSTALLED NEW OUT", 3, merge},
};

void usage(std::ostream& to) {
  to << "usage:\n";
  for (const Subcommand& sub : kSubcommands) to << "  dsrtool " << sub.name << " " << sub.operands << "\n";
  to << "check: load a description and print a summary; dump: print it as JSON;\n"
        "resave: load IN and save it to OUT with IN's version;\n"
        "merge: the update merge of INSTALLED into NEW, saved to OUT with NEW's version.\n"
        "Exit status: 0 done, 1 a description does not load or save, 2 usage error.\n";
}

}  // namespace

int runDsrTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    usage(out);
    return kExitOk;
  }
  if (args.empty()) {
    err << "dsrtool: no subcommand given\n";
    usage(err);
    return kExitUsage;
  }
  for (const Subcommand& sub : kSubcommands) {
    if (args[0] != sub.name) continue;
    const std::vector<std::string> operands(args.begin() + 1, args.end());
    if (operands.size() != sub.operandCount) {
      err << "dsrtool: " << sub.name << " takes " << sub.operands << "\n";
      usage(err);
      return kExitUsage;
    }
    return sub.run(operands, out, err);
  }
  err << "dsrtool: unknown subcommand \"" << args[0] << "\"\n";
  usage(err);
  return kExitUsage;
}
