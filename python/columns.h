// The tool's records as columns for Python: a dict of numpy arrays, one per column, in the
// records' column order, that pandas.DataFrame takes as it is.
#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "study/records.h"

// Numbers become float64 (NaN where the CSV field is empty) or int64 when every row has one;
// true/false become bool, or an object array with None where a row has none; text and limit
// lists (joined with '+', as in the CSV) become object arrays of str.
pybind11::dict columns_of(const std::vector<Record> &records);
