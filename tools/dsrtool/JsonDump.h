#pragma once
// A loaded description as JSON: keys are the record field names, in form order.
#include <string>

#include "model/DeviceSeries.h"

std::string dumpDeviceSeriesJson(const DeviceSeries& series);
