#include <cmath>

#include "ModelTestSupport.h"

namespace modeltest {

ModelInfo sampleModel() {
  ModelInfo m;
  m.strLongModelName = "Nexlume Q7 D4";
  m.strMIBModelName = "NXQ7";
  m.strFolderName = "Nexlume Q7";
  m.dMaxWidth = 770.5;
  m.nHeadNum = 4;
  for (int i = 0; i < 24; ++i) {
    m.nHeadPositionIndex[i] = i % 4;
    m.nDefaultInkIndex[i] = 24 - i;
  }
  m.bCutFeature = true;
  m.bHalfCutFeature = true;
  m.nHeaterFeature = 3;
  m.nHeadHeightMask = 7;
  m.strStaticStatus = "%s;%d";
  m.strStaticExtraStatus = "EX:%s";
  m.strActiveStatus = "ACT %d%%";
  m.strPPDFile = "NXQ7.ppd";
  m.dCropMargin_mm = 5.25;
  m.dCropSize_mm = 10.5;
  m.dPageSpace_mm = 20.125;
  m.dHWLeftMargin_mm = 3.0;
  m.dHWRightMargin_mm = 3.5;
  m.dHWTopMargin_mm = 1.25;
  m.dHWBottomMargin_mm = 12.0;
  m.strBMPFileName = "Nexlume Q7.bmp";
  m.nMaxCutSpeed = 40;
  m.strExtension = "0A1B2C";
  m.nMinimumScanSpeed = 200;
  m.nMaximumScanSpeed = 1200;
  m.nMinimumFeedSpeed = 2;
  m.nMaximumFeedSpeed = 60;
  m.nMinimumPageInterval_mm = 5;
  m.nMaximumPageInterval_mm = 150;
  m.nMinimumPreHeaterTemperature = 20;
  m.nMaximumPreHeaterTemperature = 45;
  m.nMinimumHeaterTemperature = 21;
  m.nMaximumHeaterTemperature = 46;
  m.nMinimumDrierTemperature = 22;
  m.nMaximumDrierTemperature = 47;
  m.dMinimumFeedCalibration_mm = -1.5;
  m.dMaximumFeedCalibration_mm = 1.5;
  m.nMinimumCutForce = 25;
  m.nMaximumCutForce = 250;
  m.nMinimumHalfCutForce = 2;
  m.nMaximumHalfCutForce = 70;
  m.flMaximumCutOffset = 0.75f;
  m.nGetMethodType = 2;
  m.nScanSpeedType = 1;
  m.strDllName = "nxq7.dll";
  m.strDriverName = "Nexlume Q7";
  m.strRequiredFirmwareVersion = "1.02";
  m.strRecommendedFirmwareVersion = "1.10";
  m.nNozzleCountPerHeadColumn = 320;
  m.flNozzleResolution = 150.0f;
  m.nMinimumReturnScanSpeed = 800;
  m.nMaximumReturnScanSpeed = 1100;
  m.dMaxLength = 3000.0;
  m.bOverlapCutPerCutPath = true;
  m.nUVLampCount = 2;
  m.bHBridgeFeature = true;
  return m;
}

InkInfo sampleInk() {
  InkInfo ink;
  ink.nInkIndex = 7;
  ink.strLongInkName = languages("Cyan");
  ink.strShortInkName = "C";
  ink.lightColor = {255, 0, 128};
  ink.darkColor = {1, 2, 3};
  ink.flPrice = 12.5f;
  ink.nCapacity = 500;
  return ink;
}

InkConfigInfo sampleInkConfig() {
  InkConfigInfo config;
  config.nInkConfigIndex = 3;
  config.strInkConfigName = languages("CMYK+W");
  config.strFolderName = "CMYKW";
  for (int i = 0; i < 24; ++i) config.nInkIndexList[i] = i < 5 ? i : -1;
  return config;
}

ResolutionInfo sampleResolution() {
  return {2, languages("1440x720"), 1440.0f, 720.0f};
}

PatternInfo samplePattern() { return {4, 64, 32, "FM64x32.pat"}; }

SeparationTable sampleSeparationTable() {
  SeparationTable table;
  table.nInputChannelNum = 2;
  table.eType = kStoredOutputTable;
  for (std::size_t i = 0; i < kOutputTableSize; ++i)
    table.usOutputTable[i] = static_cast<std::uint16_t>(4095.0 * std::pow(static_cast<double>(i) / 4095.0, 1.8));
  // A stored table comes back as the spline through its samples; start from that form.
  decodeOutputTable(encodeOutputTable(table.usOutputTable), table.usOutputTable);
  table.dStart = 0.05;
  table.dPeak = 0.5;
  table.dMax = 0.875;
  table.dEnd = 0.95;
  table.dEndMax = 1.0;
  table.strInputChannel = "Magenta";
  table.nInkIndex = 1;
  table.nHeadCount = 2;
  return table;
}

SeparationInfo sampleSeparation() {
  SeparationInfo separation;
  separation.nSeparationIndex = 5;
  separation.strSeparationName = languages("CMYK");
  separation.nOutputChannel = 4;
  separation.aSeparationTableList = {sampleSeparationTable(), sampleSeparationTable()};
  separation.aSeparationTableList[1].eType = 0;
  separation.aSeparationTableList[1].usOutputTable.fill(0);
  separation.nPrintChartFileInfoIndex = 2;
  separation.strInkLimitTableFile = "limit.ilt";
  separation.anInputChannelInkIndexList = {0, 1, 2, 3};
  return separation;
}

VControlPoint sampleControlPoint() {
  VControlPoint point;
  point.nVControlIndex = 9;
  double value = 0.125;
  for (double* d : {&point.dSmallStart, &point.dSmallPeak, &point.dSmallMax, &point.dSmallEnd, &point.dSmallEndMax,
                    &point.dMediumStart, &point.dMediumPeak, &point.dMediumMax, &point.dMediumEnd,
                    &point.dMediumEndMax, &point.dLargeStart, &point.dLargePeak, &point.dLargeMax,
                    &point.dLargeEnd, &point.dLargeEndMax}) {
    *d = value;
    value += 0.25;
  }
  return point;
}

ModeInfo sampleMode() {
  ModeInfo mode;
  mode.nModeIndex = 6;
  mode.strModeName = "Quality 8 pass";
  mode.nInkNum = 5;
  for (int i = 0; i < 24; ++i) mode.nInkIndexList[i] = i;
  mode.nBitsPerPixel = 2;
  mode.nDotType = 3;
  mode.strDotSize = "S,M,L";
  mode.strNozzleMask = "mask8.nmk";
  mode.nPassesPerLine = 8;
  mode.strPJLOption = "@PJL SET QUALITY=HIGH";
  mode.flFeedResolutionPerPass = 90.0f;
  mode.nInkVolumeIndex = 2;
  mode.nNozzleMaskCount = 4;
  mode.nEmptyPathLength = 12;
  mode.nAdditionalPrintingTime = 30;
  mode.aUVLampPowerList[0].nForwardPower = 80;
  mode.aUVLampPowerList[1].nBackwardPower = 0;
  return mode;
}

PermissionSet samplePermissionSet() {
  PermissionSet set;
  set.nPermissionIndex = 11;
  set.anInkConfigIndexList = {0, 2};
  set.nResolutionIndex = 1;
  set.nModeIndex = 6;
  set.nPassmaskIndex = 3;
  set.eDirection = 131075;
  set.eScreen = kCustomScreen;
  set.anVControlIndexList = {9, 10};
  set.anFMPatternIndexList = {4};
  set.nSeparationIndex = 5;
  CalibrationInfo calibration;
  calibration.nOutputLimit = 95;
  for (std::size_t i = 0; i < kCalibrationPoints; ++i) {
    calibration.density[i] = 0.125f * static_cast<float>(i);
    calibration.lab[i] = {100.0f - 4.0f * static_cast<float>(i), -1.5f * static_cast<float>(i), 2.25f};
  }
  set.aCalibrationInfoList = {calibration, calibration};
  set.nInkLimit = 280;
  set.strPrinterProfile = "Nexlume Q7 PET.icc";
  set.nScanSpeed = 900;
  set.nFeedSpeed = 20;
  set.bVisiblePermission = false;
  set.screenOption = {true, 60, 2, {15.0f, 45.0f, 90.0f, 75.0f}};
  set.bRecommended = true;
  set.nRealPassCount = 8;
  set.strNextPermissionIndex = "12,13";
  return set;
}

QualityInfo sampleQuality() {
  QualityInfo quality;
  quality.nQualityLevel = 2;
  quality.strQualityName = languages("Fine");
  quality.anPermissionIndexList = {11, 12};
  quality.bVisibleQuality = false;
  return quality;
}

MediaInfo sampleMedia() {
  MediaInfo media;
  media.strMediaName = languages("PET film");
  media.strMediaName[6] = "PETフィルム";
  media.strMediaName[1] = "PET薄膜";
  media.strMediaName[10] = "ПЭТ-плёнка";
  media.strMediaName[12] = "فيلم PET";
  media.strBaseMediaName = languages("Film");
  media.aPermissionSetList = {samplePermissionSet(), samplePermissionSet()};
  media.aPermissionSetList[1].eScreen = 2;
  media.aPermissionSetList[1].screenOption = {};
  media.aPermissionSetList[1].bRecommended = false;
  media.aQualityInfoList = {sampleQuality()};
  media.nDefaultLevel = 2;
  media.nDryTime = 30;
  media.nVacuumPower = 3;
  media.eHeadHeight = 2;
  media.aflFeedCalibration = {0.125f, -0.25f};
  media.nPreHeater = 40;
  media.nPrintHeater = 41;
  media.nDryHeater = 42;
  media.nCutCount = 2;
  media.nCutVelocity = 30;
  media.nCutForce = 120;
  media.flCutOffset = 0.25f;
  media.TimeStamp = {2026, 12, 10, 11, 47, 53, 250};
  media.bVisibleMedia = false;
  media.bCuttingMedia = false;
  media.bUpdateNeeded = true;
  media.nInputRoute = 1;
  media.bPreHeaterEnable = false;
  media.bPrinterHeaterEnable = false;
  media.bDrierEnable = false;
  media.nMediaAttribute = 4;
  media.bHideUnrecommendedMode = 0;
  media.flNormalCutForceRange = 0.75f;
  media.flDeepCutForceRange = 40.0f;
  media.nDeepCutForce = 150;
  media.nHalfCutForce = 60;
  media.nOverPrintCount = 2;
  media.bUseDensityCalibration = true;
  return media;
}

PrintChartFileInfoSet samplePrintChart() { return {3, "cal, 4 ch.prn", "limit.prn", "test.prn"}; }

InkVolumeInfo sampleInkVolume() { return {2, {"3.5, 7.0, 12.0", "4 8 14"}}; }

DeviceSeries sampleSeries() {
  DeviceSeries series;
  series.aModelInfoList = {sampleModel(), sampleModel()};
  series.aModelInfoList[1].strRequiredFirmwareVersion.clear();
  series.aInkInfoList = {sampleInk()};
  series.aInkConfigInfoList = {sampleInkConfig()};
  series.aResolutionInfoList = {sampleResolution()};
  series.aModeInfoList = {sampleMode(), ModeInfo{}};
  series.aSeparationInfoList = {sampleSeparation()};
  series.aVControlPointList = {sampleControlPoint()};
  series.aPatternInfoList = {samplePattern()};
  series.commandSet.strInitialize = "\x1b@";
  series.commandSet.strPrintHeader = "\x1b(R\x08\x01\x02REMOTE1";
  series.commandSet.strCancel = "\x1b\x18<&>\\\"'";
  series.aMediaInfoList = {sampleMedia()};
  // What reading gives a permission set without screenOption under a 4-channel separation.
  series.aMediaInfoList[0].aPermissionSetList[1].screenOption.flDegrees = {30.0f, 45.0f, 90.0f, 60.0f};
  series.aPrintChartFileInfoSetList = {samplePrintChart()};
  series.aInkVolumeInfoList = {sampleInkVolume()};
  series.strFirmwareDownloadURL = languages("https://firmware.nexlume.example/q7");
  return series;
}

}  // namespace modeltest
