#pragma once
// The fixed plan of the installation run: 55 steps, carried out in this order. Paths and file
// names are string-table entries; resources are the integer names of the embedded files.
#include <array>

namespace app {
enum class StepKind {
  DeviceFile,     // plain write of InstallPath + device folder (string 13) + file name
  ProfileFolder,  // InstallPath + relative path, created (one level) when nothing is there
  ProfileFile,    // plain write of InstallPath + relative path
  Description,    // InstallPath + device folder + file name, written or merged
};

struct PlanStep {
  StepKind kind;
  int stringId;    // file name (device folder) or relative path (profiles)
  int resourceId;  // 0 for a folder
};

// The device folder, relative to the installation folder.
inline constexpr int kDeviceFolderStringId = 13;

inline constexpr std::array<PlanStep, 55> kInstallPlan = {{
    // model bitmap, media tables, passmasks
    {StepKind::DeviceFile, 22, 132},  {StepKind::DeviceFile, 66, 130},  {StepKind::DeviceFile, 67, 149},
    {StepKind::DeviceFile, 68, 176},  {StepKind::DeviceFile, 69, 173},  {StepKind::DeviceFile, 70, 188},
    {StepKind::DeviceFile, 71, 189},  {StepKind::DeviceFile, 72, 191},  {StepKind::DeviceFile, 73, 192},
    {StepKind::DeviceFile, 85, 131},  {StepKind::DeviceFile, 86, 148},  {StepKind::DeviceFile, 87, 175},
    {StepKind::DeviceFile, 88, 172},  {StepKind::DeviceFile, 89, 184},  {StepKind::DeviceFile, 90, 185},
    {StepKind::DeviceFile, 91, 186},  {StepKind::DeviceFile, 92, 187},
    // profile folders: the model folder, then its two ink-set folders
    {StepKind::ProfileFolder, 83, 0}, {StepKind::ProfileFolder, 58, 0}, {StepKind::ProfileFolder, 59, 0},
    // ICC profiles: strings 101-114 -> resources 133-146, strings 115-127 -> resources 150-162
    {StepKind::ProfileFile, 101, 133}, {StepKind::ProfileFile, 102, 134}, {StepKind::ProfileFile, 103, 135},
    {StepKind::ProfileFile, 104, 136}, {StepKind::ProfileFile, 105, 137}, {StepKind::ProfileFile, 106, 138},
    {StepKind::ProfileFile, 107, 139}, {StepKind::ProfileFile, 108, 140}, {StepKind::ProfileFile, 109, 141},
    {StepKind::ProfileFile, 110, 142}, {StepKind::ProfileFile, 111, 143}, {StepKind::ProfileFile, 112, 144},
    {StepKind::ProfileFile, 113, 145}, {StepKind::ProfileFile, 114, 146}, {StepKind::ProfileFile, 115, 150},
    {StepKind::ProfileFile, 116, 151}, {StepKind::ProfileFile, 117, 152}, {StepKind::ProfileFile, 118, 153},
    {StepKind::ProfileFile, 119, 154}, {StepKind::ProfileFile, 120, 155}, {StepKind::ProfileFile, 121, 156},
    {StepKind::ProfileFile, 122, 157}, {StepKind::ProfileFile, 123, 158}, {StepKind::ProfileFile, 124, 159},
    {StepKind::ProfileFile, 125, 160}, {StepKind::ProfileFile, 126, 161}, {StepKind::ProfileFile, 127, 162},
    // device-series descriptions; Nexlume Q7 D4 (string 42) comes last
    {StepKind::Description, 43, 147}, {StepKind::Description, 44, 174}, {StepKind::Description, 45, 171},
    {StepKind::Description, 46, 179}, {StepKind::Description, 47, 193}, {StepKind::Description, 48, 181},
    {StepKind::Description, 49, 183}, {StepKind::Description, 42, 129},
}};

}  // namespace app
