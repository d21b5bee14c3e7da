// The research commands' pictures from their results: the Pareto front over the whole space
// and the sensitivity's tornado chart, each naming its options, limits and model.
#pragma once

#include <string>

#include "charts/image_file.h"
#include "study/pareto.h"
#include "study/sensitivity.h"

// Empty, or why the picture was not written.
std::string write_pareto_chart(const ParetoRequest &request, const ParetoFront &front,
                               const std::string &path, ImageFormat format);
std::string write_tornado_chart(const Sensitivity &sensitivity, const std::string &path,
                                ImageFormat format);
