// The tool's analysis pictures: budget curves and maps, and best speedup over the technology
// nodes. Each names its options, its limits and the model in use, so that a picture in a paper
// describes itself.
#pragma once

#include <optional>
#include <string>

#include "charts/image_file.h"
#include "cli/budget.h"

// The budget's curves (one varied limit) or its map (two), as a picture file; empty, or why it
// was not written.
std::string write_budget_chart(const Budget &budget, const std::string &path, ImageFormat format);

// Best speedup and its core count over the model's nodes for the request's other options, a
// line per value of `series` (core kinds or workloads), each node under its own limits where
// none are given. Searched on up to `jobs` threads.
std::string write_scaling_chart(const Request &request, Choice series, int jobs,
                                const std::string &path, ImageFormat format);
