// The commands that compare the model with real chips: evaluate (one configuration anywhere),
// validate (a chip table against the model) and calibrate (model-file fields fitted to it).
// Each writes its result to out and a refusal as one line on err; the exit status is 0, 2 for
// a refused request (nothing written) or 1 when the output could not be written.
#pragma once

#include <cstdio>
#include <string>

#include "chips/evaluation.h"
#include "cli/output.h"

// format: text, csv or json.
int run_evaluate(const EvaluationRequest &request, const std::string &format, bool breakdown,
                 Output &out, FILE *err);

// chips: a table's path, or empty for the shipped one; picture: a .png or .svg to draw, or empty.
int run_validate(const std::string &chips, const std::string &format, const std::string &picture,
                 Output &out, FILE *err);

// fit: fields separated by commas; path: the model file to write; how: the command line, for
// the file's comments.
int run_calibrate(const std::string &chips, const std::string &fit, const std::string &path,
                  const std::string &how, Output &out, FILE *err);

// The figures of a search's held configuration (every dimension held) that breaks a limit, as
// text: a search reports speedup 0 and no figures for it.
std::string held_search_text(const EvaluationRequest &request);
