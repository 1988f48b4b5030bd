#pragma once
// The JSON job format: pens, layers, shapes and text in millimetres.

#include <string>

#include "executor/planner/job.h"

namespace importer {

// Throws ImportError for an unreadable file, bad JSON or a job that refers to an unknown pen.
planner::Job importJsonFile(const std::string& path);
planner::Job importJsonText(const std::string& text);

}  // namespace importer
