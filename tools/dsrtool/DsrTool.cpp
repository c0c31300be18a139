#include "DsrTool.h"

#include <filesystem>
#include <ostream>
#include <string_view>

#include "JsonDump.h"
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

// Saves beside OUT first and renames, so that OUT is either untouched or complete; the new file also
// takes IN's version rather than that of a file already at OUT.
int resave(const std::vector<std::string>& operands, std::ostream&, std::ostream& err) {
  DeviceSeriesIO2 in(operands[0]);
  DeviceSeries series;
  if (!load(in, series, err)) return kExitUnreadable;

  const std::string target = operands[1];
  const std::string temporary = target + ".dsrtool-tmp";
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  DeviceSeriesIO2 out(temporary);
  out.takeDocumentVersion(in);
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

constexpr Subcommand kSubcommands[] = {
    {"check", "FILE", 1, check},
    {"dump", "FILE", 1, dump},
    {"resave", "IN OUT", 2, resave},
};

void usage(std::ostream& to) {
  to << "usage:\n";
  for (const Subcommand& sub : kSubcommands) to << "  dsrtool " << sub.name << " " << sub.operands << "\n";
  to << "check: load a description and print a summary; dump: print it as JSON;\n"
        "resave: load IN and save it to OUT with IN's version.\n"
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
