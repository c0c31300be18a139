#include "model/DeviceSeries.h"

#include <algorithm>
#include <array>
#include <optional>

void matchFeedCalibrationToModels(DeviceSeries& series) {
  for (MediaInfo& media : series.aMediaInfoList) media.aflFeedCalibration.resize(series.aModelInfoList.size(), 0.0f);
}

void setDefaultFirmwareDownloadURL(DeviceSeries& series) {
  for (int slot = 0; slot < kLanguageCount; ++slot) {
    series.strFirmwareDownloadURL[slot] =
        slot == 6 ? kFirmwareDownloadURLJapanese : kFirmwareDownloadURLInternational;
  }
}

void defaultInputChannels(DeviceSeries& series) {
  std::optional<std::vector<std::int32_t>> cmyk;  // built once, when first needed
  for (SeparationInfo& separation : series.aSeparationInfoList) {
    if (!separation.anInputChannelInkIndexList.empty()) continue;
    if (!cmyk) {
      static constexpr std::array<std::string_view, 4> kShortNames = {"C", "M", "Y", "K"};
      cmyk.emplace(4, 0);
      for (const InkInfo& ink : series.aInkInfoList) {
        for (std::size_t channel = 0; channel < kShortNames.size(); ++channel) {
          if (ink.strShortInkName == kShortNames[channel]) (*cmyk)[channel] = ink.nInkIndex;
        }
      }
    }
    separation.anInputChannelInkIndexList = *cmyk;
  }
}

void defaultScreenAngles(DeviceSeries& series) {
  static constexpr std::array<float, 4> kFourChannelAngles = {30.0f, 45.0f, 90.0f, 60.0f};
  static constexpr std::array<float, 6> kSixChannelAngles = {15.0f, 45.0f, 90.0f, 75.0f, 45.0f, 45.0f};
  for (MediaInfo& media : series.aMediaInfoList) {
    for (PermissionSet& set : media.aPermissionSetList) {
      const auto separation =
          std::find_if(series.aSeparationInfoList.begin(), series.aSeparationInfoList.end(),
                       [&](const SeparationInfo& s) { return s.nSeparationIndex == set.nSeparationIndex; });
      if (separation == series.aSeparationInfoList.end()) continue;
      const std::size_t channels = separation->anInputChannelInkIndexList.size();
      std::vector<float>& degrees = set.screenOption.flDegrees;
      if (degrees.size() == channels) continue;
      degrees.resize(channels, 0.0f);
      if (channels == kFourChannelAngles.size()) {
        degrees.assign(kFourChannelAngles.begin(), kFourChannelAngles.end());
      } else if (channels == kSixChannelAngles.size()) {
        degrees.assign(kSixChannelAngles.begin(), kSixChannelAngles.end());
      }
    }
  }
}

void repairDeviceSeries(DeviceSeries& series, form::NoNotes&) {
  defaultInputChannels(series);
  defaultScreenAngles(series);
}

void writeDeviceSeries(dom::Document& doc, DeviceSeries& series, dom::Node& root) {
  matchFeedCalibrationToModels(series);
  form::writeFields(form::FormOf<DeviceSeries>::form, doc, series, root);
}

void readDeviceSeries(const dom::Node& root, DeviceSeries& series) {
  try {
    form::readRecord(root, series);
  } catch (form::ReadError& error) {
    if (error.path().empty()) error.addContext("DeviceSeries");
    throw;
  }
}
