#pragma once
// The JSON job format: pens, layers, shapes and text in millimetres.

#include <string>

#include "executor/planner/job.h"

namespace importer {

// The format is described at the top of json_job.cpp. Throws ImportError for an unreadable file,
// bad JSON, and jobs with unknown pens, shape types or keys, values of the wrong type or range,
// naming the pen, layer and shape.
planner::Job importJsonFile(const std::string& path);
planner::Job importJsonText(const std::string& text);

}  // namespace importer
