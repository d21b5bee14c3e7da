// Result tables as columns for Python: a dict of numpy arrays, one per column, in the table's
// column order, that pandas.DataFrame takes as it is.
#pragma once

#include <pybind11/pybind11.h>

#include "study/table.h"

// Numbers become float64 (NaN where the CSV field is empty); whole numbers int64 when every row
// has one, float64 otherwise; flags bool, or an object array with None where a row has none;
// names and name sets (joined with '+', as in the CSV) object arrays of str. A column empty in
// every row is float64 NaN; a table without rows has its columns, each of its type, with no
// values.
pybind11::dict columns_of(const Table &table);
