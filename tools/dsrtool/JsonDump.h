#pragma once
// A loaded description as JSON: keys are the record field names, in form order; a language-keyed
// text is an object keyed by the slot names.
#include <string>
#include <vector>

#include "model/DeviceSeries.h"

// The whole description, with the document's version text as read (`strVersion`) first.
std::string dumpDeviceSeriesJson(const DeviceSeries& series, const std::string& versionText);

// One medium's fields as "path=value" lines in form order (aPermissionSetList[0].nSeparationIndex=2),
// for comparing two media field by field.
std::vector<std::string> flattenMedium(const MediaInfo& medium);
