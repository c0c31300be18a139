#pragma once
// The host's install folder as setHostFolder resolved it, for the run lock: its final path (links
// and drive substitutions resolved), case-folded.
#include <optional>
#include <string>

namespace platform::win32 {

const std::optional<std::wstring>& hostFolderFinalPath();

}  // namespace platform::win32
