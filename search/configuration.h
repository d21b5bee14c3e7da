// One configuration's figures worked out with the model functions whole, as evaluate_design_point
// gives them; the searches' tables (search/terms.h) are held to these.
#pragma once

#include "model/power.h"
#include "search/engine.h"
#include "search/selection.h"

namespace search_detail {

// Every figure of one configuration with the model functions whole, and the power without the
// memory stack's layers (what the power lines show) in chip_power.
// With terms, the power's terms as well (chip_power is their total()).
ConfigurationFigures figures_of(const Selection &s, const SearchSpec &spec, int scale, int cache,
                                int cores, double &chip_power, PowerTerms *terms = nullptr);

} // namespace search_detail
