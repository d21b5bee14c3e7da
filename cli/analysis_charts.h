// The tool's analysis pictures: budget curves and maps, and best speedup over the technology
// nodes. Each names its options, its limits and the model in use, so that a picture in a paper
// describes itself.
#pragma once

#include <optional>
#include <string>

#include "charts/image_file.h"
#include "study/budget.h"

// The budget's curves (one varied limit) or its map (two), as a picture file; empty, or why it
// was not written.
std::string write_budget_chart(const Budget &budget, const std::string &path, ImageFormat format);

// The best configuration at every node of the model for the request's other options, for each
// value of `series` (core kinds or workloads; nodes innermost), each node under its own limits
// where none are given. Searched on up to `jobs` threads.
std::vector<BestConfiguration> scaling(const Request &request, Choice series, int jobs);

// The requests scaling searches, in its order: the held operating point, if any, is used at
// every node.
std::vector<Request> scaling_requests(const Request &request, Choice series);

// Those configurations' speedups and core counts over the nodes, a line per series value.
std::string write_scaling_chart(const std::vector<BestConfiguration> &rows, const Request &request,
                                Choice series, const std::string &path, ImageFormat format);
