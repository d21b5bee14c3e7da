// evaluate's text: the configuration, every figure with the limit it is held to, and the limits
// it breaks.
#pragma once

#include <string>

#include "chips/evaluation.h"

// With a breakdown, the power's terms follow its power line.
std::string evaluation_text(const Evaluation &evaluation, bool breakdown);

// The figures of a held configuration and the limits it breaks, for a search with every
// dimension held that nothing meets: what a person needs to see how far off it is.
std::string held_configuration_text(const Evaluation &evaluation);
