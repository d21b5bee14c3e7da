// validate's picture: each published figure against the model's, on log axes.
#pragma once

#include <string>
#include <vector>

#include "charts/image_file.h"
#include "chips/validation.h"

// Empty, or why the picture was not written.
std::string write_validation_chart(const Validation &validation, const std::vector<Chip> &chips,
                                   const std::string &table_name, const std::string &path,
                                   ImageFormat format);
