// The chip table validate and calibrate read: the one --chips names, or the shipped one.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "chips/chip_table.h"

// Refused: every problem said on err, one line each, and none returned.
std::optional<ChipTable> chip_table_of(const std::string &path, FILE *err);
