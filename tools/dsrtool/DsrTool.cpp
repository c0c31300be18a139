#include "DsrTool.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <istream>
#include <map>
#include <ostream>
#include <regex>
#include <string_view>

#include "JsonDump.h"
#include "model/DeviceSeriesMerge.h"
#include "model/DeviceSeriesIO.h"
#include "platform/FileSystem.h"
#include "xmlio/Encodings.h"
#include "xmlio/XmlSource.h"

namespace {

// "line L, column C: message" in a framework message becomes "FILE:L:C: message", the form editors
// and build tools jump to; other messages are "FILE: message".
std::string located(const std::string& file, const std::string& message) {
  static const std::regex place("(?:^|: )line ([0-9]+), column ([0-9]+): (.*)$");
  std::smatch match;
  if (std::regex_search(message, match, place)) return file + ":" + match[1].str() + ":" + match[2].str() + ": " + match[3].str();
  return file + ": " + message;
}

// "-" as a file names standard input; messages call it so.
constexpr const char* kStandardInput = "-";
constexpr const char* kStandardInputName = "(standard input)";

std::string nameOf(const std::string& file) { return file == kStandardInput ? kStandardInputName : file; }

// Standard input's bytes, read up to the bound of a description and one byte more, so that a larger
// input is refused without reading the rest. False with the reason on err.
bool readBounded(std::istream& in, std::string& bytes, std::ostream& err) {
  constexpr std::size_t kChunk = 1 << 16;
  bytes.clear();
  while (bytes.size() <= xmlsource::kMaxDocumentBytes && in) {
    const std::size_t at = bytes.size();
    bytes.resize(at + std::min(kChunk, xmlsource::kMaxDocumentBytes + 1 - at));
    in.read(bytes.data() + at, static_cast<std::streamsize>(bytes.size() - at));
    bytes.resize(at + static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    err << "dsrtool: " << kStandardInputName << ": cannot be read\n";
    return false;
  }
  if (bytes.size() > xmlsource::kMaxDocumentBytes) {
    err << "dsrtool: " << kStandardInputName << ": " << xmlsource::tooLargeReason() << "; not read further\n";
    return false;
  }
  return true;
}

// Loads `io`'s file as the update merge does, or standard input when `standardInput` is given (`io`
// then carries its name); false with the reason on err.
bool load(DeviceSeriesIO2& io, DeviceSeries& series, std::istream* standardInput, std::ostream& err) {
  if (standardInput != nullptr) {
    std::string bytes;
    if (!readBounded(*standardInput, bytes, err)) return false;
    if (!io.OpenDocumentFrom(bytes)) {
      const std::string& why = io.openResult().reason;
      err << "dsrtool: " << located(io.path(), why.empty() ? "does not load" : why) << "\n";
      return false;
    }
  }
  if (io.LoadDocumentWithFallback(series)) return true;
  err << "dsrtool: " << located(io.path(), io.lastError().empty() ? "does not load" : io.lastError()) << "\n";
  return false;
}

bool load(DeviceSeriesIO2& io, DeviceSeries& series, std::ostream& err) { return load(io, series, nullptr, err); }

int check(const std::vector<std::string>& files, std::istream& in, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  for (const std::string& file : files) {
    DeviceSeriesIO2 io(nameOf(file));
    DeviceSeries series;
    std::vector<std::string> repairs;
    setRepairNotes(&repairs);
    const bool loaded = load(io, series, file == kStandardInput ? &in : nullptr, err);
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
    for (std::size_t i = 0; i < std::min(repairs.size(), kShown); ++i) out << io.path() << ": warning: " << repairs[i] << "\n";
    if (repairs.size() > kShown) out << io.path() << ": warning: and " << repairs.size() - kShown << " more values repaired\n";
  }
  return status;
}

int dump(const std::string& file, std::istream& in, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 io(nameOf(file));
  DeviceSeries series;
  if (!load(io, series, file == kStandardInput ? &in : nullptr, err)) return kExitUnreadable;
  out << dumpDeviceSeriesJson(series, io.documentVersionText());
  return kExitOk;
}

// A save's reason in the words of the file the user gave: the scratch file the save goes through is
// no name the user knows.
std::string saveFailureFor(const std::string& target, std::string reason) {
  const std::string scratch = platform::scratchPathFor(target);
  const auto replaceAll = [&reason](const std::string& from, const std::string& to) {
    for (std::size_t at = reason.find(from); at != std::string::npos; at = reason.find(from, at + to.size()))
      reason.replace(at, from.size(), to);
  };
  replaceAll("a stale " + scratch, "a leftover temporary file beside it");
  replaceAll(scratch, "the file");
  return reason;
}

// Saves `series` to `target` with the version `versionOf` read (not that of a file already there),
// through a scratch file renamed over `target`, so that `target` is either untouched or complete.
int saveReplacing(DeviceSeries& series, const ICommonIO& versionOf, const std::string& target, std::ostream& err) {
  DeviceSeriesIO2 out(target);
  out.takeDocumentVersion(versionOf);
  if (out.SaveDocument(series)) return kExitOk;
  err << "dsrtool: " << target << ": " << saveFailureFor(target, out.lastSaveFailure()) << "\n";
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

// One differing field with both values, absent where a medium has no such field (a shorter list).
std::string fieldDifference(const std::string& path, const std::string* valueA, const std::string* valueB) {
  const auto shown = [](const std::string* value) { return value != nullptr ? *value : std::string("absent"); };
  return path + " (A: " + shown(valueA) + ", B: " + shown(valueB) + ")";
}

// The fields other than visibility in which two media differ, in A's form order, then those only B has.
// Fields are matched by their path, so that a list one entry longer names that entry rather than
// every field after it.
std::vector<std::string> differingFields(const MediaInfo& a, const MediaInfo& b) {
  const auto split = [](const std::string& line) {
    const std::size_t equals = line.find('=');
    return std::pair(line.substr(0, equals), line.substr(equals + 1));
  };
  std::map<std::string, std::string> valuesB;
  std::vector<std::string> orderB;
  for (const std::string& line : flattenMedium(b)) {
    auto [path, value] = split(line);
    orderB.push_back(path);
    valuesB.emplace(std::move(path), std::move(value));
  }
  std::vector<std::string> differing;
  for (const std::string& line : flattenMedium(a)) {
    const auto [path, value] = split(line);
    const auto inB = valuesB.find(path);
    if (path != "bVisibleMedia" && (inB == valuesB.end() || inB->second != value))
      differing.push_back(fieldDifference(path, &value, inB == valuesB.end() ? nullptr : &inB->second));
    if (inB != valuesB.end()) valuesB.erase(inB);
  }
  for (const std::string& path : orderB)
    if (const auto onlyInB = valuesB.find(path); onlyInB != valuesB.end())
      differing.push_back(fieldDifference(path, nullptr, &onlyInB->second));
  return differing;
}

// The media of A and B compared by the merge's identity (the first ten name slots): one line for each
// medium in only one of them, each whose visibility differs, and each whose other fields differ.
int diff(const std::string& fileA, const std::string& fileB, std::ostream& out, std::ostream& err) {
  DeviceSeriesIO2 ioA(fileA), ioB(fileB);
  DeviceSeries a, b;
  if (!load(ioA, a, err) || !load(ioB, b, err)) return kExitTrouble;
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
    constexpr std::size_t kShown = 5;
    const std::vector<std::string> differing = differingFields(medium, other);
    if (!differing.empty()) {
      out << "fields differ: " << named(medium) << ": " << differing.front();
      for (std::size_t i = 1; i < std::min(differing.size(), kShown); ++i) out << ", " << differing[i];
      if (differing.size() > kShown) out << " and " << differing.size() - kShown << " more";
      out << "\n";
      same = false;
    }
  }
  for (std::size_t i = 0; i < b.aMediaInfoList.size(); ++i) {
    if (matchedInB[i]) continue;
    out << "only in " << fileB << ": " << named(b.aMediaInfoList[i]) << "\n";
    same = false;
  }
  return same ? kExitOk : kExitDiffer;
}

}  // namespace

int runDsrTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  CLI::App cli("Inspect, check, re-save, merge and compare device-series description files.", "dsrtool");
  cli.require_subcommand(1);
  // Options are written --name in both builds; a file argument may begin with '/' (the parser's own
  // default in the Windows build would take it for a /name option). Subcommands inherit this.
  cli.allow_windows_style_options(false);
  cli.set_version_flag("--version", "dsrtool " NEXLUME_VERSION);
  cli.footer("Exit status: 0 done, 1 a description does not load or save, 2 usage error.\n"
             "diff: 0 the same media, 1 the media differ, 2 trouble (a file missing, unreadable or not a\n"
             "description). A description larger than " + std::to_string(xmlsource::kMaxDocumentBytes >> 20) +
             " MiB is refused unread.");
  std::vector<std::string> files;
  std::string file, target, installed, fresh, a, b;
  int status = kExitOk;
  CLI::App* checkCommand = cli.add_subcommand("check", "load each FILE; one summary line per file; exit 1 when any fails");
  checkCommand->add_option("FILE", files, "description files (- for standard input)")->required();
  checkCommand->callback([&] { status = check(files, in, out, err); });
  CLI::App* dumpCommand = cli.add_subcommand("dump", "print FILE's record as JSON (field names as keys)");
  dumpCommand->add_option("FILE", file, "a description file (- for standard input)")->required();
  dumpCommand->callback([&] { status = dump(file, in, out, err); });
  CLI::App* resaveCommand = cli.add_subcommand("resave", "load IN and save it to OUT with IN's version");
  resaveCommand->add_option("IN", file, "the description to load")->required();
  resaveCommand->add_option("OUT", target, "where to save it")->required();
  resaveCommand->callback([&] { status = resave(file, target, out, err); });
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

  std::string subcommandList;
  for (const CLI::App* subcommand : cli.get_subcommands({}))
    subcommandList += (subcommandList.empty() ? "" : ", ") + subcommand->get_name();
  const auto usageError = [&](const std::string& what, const std::string& helpFor) {
    err << "dsrtool: " << what << "\nRun 'dsrtool " << helpFor << "--help' for usage.\n";
    return kExitUsage;
  };
  // The first argument that is no option names the subcommand.
  const auto subcommandArg = std::find_if(args.begin(), args.end(), [](const std::string& arg) { return !arg.starts_with("-"); });
  const CLI::App* chosen = nullptr;
  if (subcommandArg != args.end()) {
    try {
      chosen = cli.get_subcommand(*subcommandArg);
    } catch (const CLI::OptionNotFound&) {
      return usageError("unknown subcommand '" + *subcommandArg + "'; the subcommands are " + subcommandList, "");
    }
  }

  std::vector<std::string> reversed(args.rbegin(), args.rend());  // the parser takes them last first
  try {
    cli.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    // A subcommand's usage line begins "dsrtool <subcommand>".
    out << (chosen != nullptr ? chosen->help("dsrtool") : cli.help());
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    out << cli.version() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    if (chosen == nullptr) return usageError("a subcommand is required: one of " + subcommandList, "");
    return usageError(chosen->get_name() + ": " + error.what(), chosen->get_name() + " ");
  }
  return status;
}
