// The design-space map's content, built from a search of the engine: every configuration of one
// scale step with its figures and the limits it breaks, the best of them, the limits in force
// and the titles. The command-line tool's plot and the window's map both draw what this gives
// (charts/space_chart.h); nothing here reads or writes the design state, so it can run beside
// the window's handlers without changing what they do.
#pragma once

#include <string>

#include "charts/space_chart.h"
#include "search/engine.h"

// The axes, their labelled values, a legend line for each limit and the model's note: what
// the map's layout depends on.
SpaceChart space_map_frame();

// "DB2/TPCC, plain memory, LOP, Niagara, 65nm": the options of a search, in the model's names.
std::string space_map_options(const SearchSpec &spec);

// The map of the scale step the search holds (hold_scale, at its held operating point, which
// is vdd V and freq GHz for the subtitle); held core counts and cache sizes are let go. A limit
// whose check is off is neither shown nor counted as broken, the TSV limit only with 3D memory.
SpaceChart space_map(SearchSpec spec, double vdd, double freq);

// Marks a configuration as the one on show, with its line beside the best one's.
void mark_shown(SpaceChart &chart, int cache, int cores);

// A configuration as hovering shows it: core count, cache size, speedup, area, power,
// bandwidths and the limits it breaks. Empty outside the map.
std::string space_map_cell_text(const SpaceChart &chart, int cache, int cores);
