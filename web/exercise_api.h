// The page's calls for a class exercise: the tool's CSV of one request (what `search` writes)
// and of a budget curve with the limits that bind at each point (what `budget --binding`
// writes), so that every figure the page adds is the tool's, bit for bit.
#pragma once

#include <string>

// A request as the page keeps it: one "name=value" a line, named as the tool's options
// (workload, memory, transistor, core, node, area, power, bw, tsv, cores, cache, scale, vdd,
// freq); a limit not given is the node's own. Answers {"error": "", "csv": "..."} with the CSV
// that `search --format csv` writes for it, or {"error": why} naming the refused name.
std::string engine_request_csv(const std::string &request);

// The budget curve of a request's options and limits (held dimensions refused: a budget holds
// none) as one limit varies over "LIMIT=START:END:STEP", with the binding limits at each point:
// {"error": "", "csv": "..."} as `budget --binding --format csv` writes it, or {"error": why}.
// With check_only, nothing is worked out: {"error": ""} when the budget can be drawn up.
std::string engine_budget_csv(const std::string &request, const std::string &vary,
                              bool check_only = false);

// The most points a budget on the page may have (each is a row of its table).
constexpr double kMostPagePoints = 1000;
