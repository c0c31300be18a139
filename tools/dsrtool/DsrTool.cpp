#include "DsrTool.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>
#include <ostream>
#include <regex>
#include <string_view>

#include "JsonDump.h"
#include "model/DeviceSeriesMerge.h"
#include "model/DeviceSeriesIO.h"
#include "xmlio/Encodings.h"

namespace {

// "line L, column C: message" in a framework message becomes "FILE:L:C: message", the form editors
// and build tools jump to; other messages are "FILE: message".
std::string located(const std::string& file, const std::string& message) {
  static const std::regex place("(?:^|: )line ([0-9]+), column ([0-9]+): (.*)$");
  std::smatch match;
  if (std::regex_search(message, match, place)) return file + ":" + match[1].str() + ":" + match[2].str() + ": " + match[3].str();
  return file + ": " + message;
}

// Loads `path` as the update merge does; false with the reason on err.
bool load(DeviceSeriesIO2& io, DeviceSeries& series, std::ostream& err) {
  if (io.LoadDocumentWithFallback(series)) return true;
  err << "dsrtool: " << located(io.path(), io.lastError().empty() ? "does not load" : io.lastError()) << "\n";
  return false;
}

int check(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  for (const std::string& file : files) {
    DeviceSeriesIO2 io(file);
    DeviceSeries series;
    std::vector<std::string> repairs;
    setRepairNotes(&repairs);
    const bool loaded = load(io, series, err);
    setRepairNotes(nullptr);
    if (!loaded) {
      status = kExitUnreadable;
      continue;
    }
    out << io.path() << ": DeviceSeries " << io.documentVersionText() << ", " << series.aModelInfoList.size()
        << " models, " << series.aInkInfoList.size() << " inks, " << series.aInkConfigInfoList.size()
        << " ink configurations, " << series.aResolutionInfoList.size() << " resolutions, " << series.aModeInfoList.size()
        << " modes, " << series.aSeparationInfoList.size() << " separations, " << series.aVControlPointList.size()
        << " control points, " << series.aPatternInfoList.size() << " patterns, " << series.aMediaInfoList.size()
        << " media, " << series.aPrintChartFileInfoSetList.size() << " print-chart sets, "
        << series.aInkVolumeInfoList.size() << " ink-volume tables\n";
    // What the readers repaired or cut: the file loads, but not every value is as written.
    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < std::min(repairs.size(), kShown); ++i) out << file << ": warning: " << repairs[i] << "\n";
    if (repairs.size() > kShown) out << file << ": warning: and " << repairs.size() - kShown << " more values repaired\n";
  }
  return status;
}

int dump(const std::string& file, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 io(file);
  DeviceSeries series;
  if (!load(io, series, err)) return kExitUnreadable;
  out << dumpDeviceSeriesJson(series, io.documentVersionText());
  return kExitOk;
}

// Saves `series` to `target` with the version `versionOf` read (not that of a file already there),
// through a scratch file renamed over `target`, so that `target` is either untouched or complete.
int saveReplacing(DeviceSeries& series, const ICommonIO& versionOf, const std::string& target, std::ostream& err) {
  DeviceSeriesIO2 out(target);
  out.takeDocumentVersion(versionOf);
  if (out.SaveDocument(series)) return kExitOk;
  err << "dsrtool: " << target << ": " << out.lastSaveFailure() << "\n";
  return kExitUnreadable;
}

int resave(const std::string& in, const std::string& target, std::ostream&, std::ostream& err) {
  DeviceSeriesIO2 io(in);
  DeviceSeries series;
  if (!load(io, series, err)) return kExitUnreadable;
  return saveReplacing(series, io, target, err);
}

// The installer's update merge of INSTALLED into NEW, saved to OUT with NEW's version.
int merge(const std::string& installedFile, const std::string& newFile, const std::string& target, std::ostream& out,
          std::ostream& err) {
  DeviceSeriesIO2 installedIO(installedFile), newIO(newFile);
  DeviceSeries installed, fresh;
  if (!load(installedIO, installed, err) || !load(newIO, fresh, err)) return kExitUnreadable;
  const descriptionmerge::MergeReport report = descriptionmerge::mergeDeviceSeries(installed, fresh);
  const int status = saveReplacing(fresh, newIO, target, err);
  if (status == kExitOk)
    for (const std::string& line : report.describe()) out << line << "\n";
  return status;
}

// The English name of a medium, quoted, for the lines of diff.
std::string named(const MediaInfo& medium) { return "\"" + medium.strMediaName[0] + "\""; }

// The media of A and B compared by the merge's identity (the first ten name slots): one line for each
// medium in only one of them, each whose visibility differs, and each whose other fields differ.
int diff(const std::string& fileA, const std::string& fileB, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 ioA(fileA), ioB(fileB);
  DeviceSeries a, b;
  if (!load(ioA, a, err) || !load(ioB, b, err)) return kExitUnreadable;
  bool same = true;
  std::vector<bool> matchedInB(b.aMediaInfoList.size(), false);
  for (const MediaInfo& medium : a.aMediaInfoList) {
    std::size_t at = 0;
    while (at < b.aMediaInfoList.size() &&
           (matchedInB[at] || !descriptionmerge::isSameMedium(medium, b.aMediaInfoList[at])))
      ++at;
    if (at == b.aMediaInfoList.size()) {
      out << "only in " << fileA << ": " << named(medium) << "\n";
      same = false;
      continue;
    }
    matchedInB[at] = true;
    const MediaInfo& other = b.aMediaInfoList[at];
    if (medium.bVisibleMedia != other.bVisibleMedia) {
      out << "visibility differs: " << named(medium) << " is " << (medium.bVisibleMedia ? "visible" : "hidden") << " in "
          << fileA << ", " << (other.bVisibleMedia ? "visible" : "hidden") << " in " << fileB << "\n";
      same = false;
    }
    // Fields are matched by their path, so that a list one entry longer names that entry rather than
    // every field after it.
    const std::vector<std::string> fieldsA = flattenMedium(medium), fieldsB = flattenMedium(other);
    const auto pathOf = [](const std::string& line) { return line.substr(0, line.find('=')); };
    std::map<std::string, std::string> byPathB;
    for (const std::string& line : fieldsB) byPathB.emplace(pathOf(line), line);
    std::vector<std::string> differing;
    const auto differs = [&](const std::string& path) {
      if (path != "bVisibleMedia") differing.push_back(path);
    };
    for (const std::string& line : fieldsA) {
      const auto inB = byPathB.find(pathOf(line));
      if (inB == byPathB.end() || inB->second != line) differs(pathOf(line));
      if (inB != byPathB.end()) byPathB.erase(inB);
    }
    for (const std::string& line : fieldsB)
      if (byPathB.count(pathOf(line)) != 0) differs(pathOf(line));
    if (!differing.empty()) {
      out << "fields differ: " << named(medium) << ": " << differing.front();
      for (std::size_t i = 1; i < std::min<std::size_t>(differing.size(), 5); ++i) out << ", " << differing[i];
      if (differing.size() > 5) out << " and " << differing.size() - 5 << " more";
      out << "\n";
      same = false;
    }
  }
  for (std::size_t i = 0; i < b.aMediaInfoList.size(); ++i) {
    if (matchedInB[i]) continue;
    out << "only in " << fileB << ": " << named(b.aMediaInfoList[i]) << "\n";
    same = false;
  }
  return same ? kExitOk : kExitUnreadable;
}

}  // namespace

int runDsrTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App cli("Inspect, check, re-save, merge and compare device-series description files.", "dsrtool");
  cli.require_subcommand(1);
  cli.set_version_flag("--version", "dsrtool " NEXLUME_VERSION);
  cli.footer("Exit status: 0 done (diff: the same media), 1 a description does not load or save (diff: the media\n"
             "differ), 2 usage error.");
  std::vector<std::string> files;
  std::string in, target, installed, fresh, a, b;
  int status = kExitOk;
  CLI::App* checkCommand = cli.add_subcommand("check", "load each FILE; one summary line per file; exit 1 when any fails");
  checkCommand->add_option("FILE", files, "description files")->required();
  checkCommand->callback([&] { status = check(files, out, err); });
  CLI::App* dumpCommand = cli.add_subcommand("dump", "print FILE's record as JSON (field names as keys)");
  dumpCommand->add_option("FILE", in, "a description file")->required();
  dumpCommand->callback([&] { status = dump(in, out, err); });
  CLI::App* resaveCommand = cli.add_subcommand("resave", "load IN and save it to OUT with IN's version");
  resaveCommand->add_option("IN", in, "the description to load")->required();
  resaveCommand->add_option("OUT", target, "where to save it")->required();
  resaveCommand->callback([&] { status = resave(in, target, out, err); });
  CLI::App* mergeCommand =
      cli.add_subcommand("merge", "the installer's update merge of INSTALLED into NEW, saved to OUT with NEW's version");
  mergeCommand->add_option("INSTALLED", installed, "the installed description")->required();
  mergeCommand->add_option("NEW", fresh, "the new description")->required();
  mergeCommand->add_option("OUT", target, "where to save the merge")->required();
  mergeCommand->callback([&] { status = merge(installed, fresh, target, out, err); });
  CLI::App* diffCommand = cli.add_subcommand(
      "diff", "compare the media of A and B (by the merge's identity): only in one, visibility, other fields");
  diffCommand->add_option("A", a, "a description (e.g. P.bak)")->required();
  diffCommand->add_option("B", b, "another description (e.g. P)")->required();
  diffCommand->callback([&] { status = diff(a, b, out, err); });

  std::vector<std::string> reversed(args.rbegin(), args.rend());  // the parser takes them last first
  try {
    cli.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out << (cli.get_subcommands().empty() ? cli.help() : cli.get_subcommands().front()->help());
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    out << cli.version() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    err << "dsrtool: " << error.what() << "\nRun 'dsrtool --help' for usage.\n";
    return kExitUsage;
  }
  return status;
}
