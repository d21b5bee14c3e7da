#include "search/entry_points.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/model.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"

namespace {

// Largest value each option may take, from the active model's lists and axes; options not
// listed take any int (the memory and transistor kinds read every other value as 3D memory and
// HP, the checks as on/off).
struct OptionBound {
    int index;
    int last;
    const char *name;
};

std::vector<OptionBound> option_bounds() {
    const Model &m = active_model();
    return {
        {0, int(m.workloads.size()) - 1, "workload"},
        {3, int(m.core_kinds.size()) - 1, "core kind"},
        {4, int(m.nodes.size()) - 1, "technology node"},
        {8, kCoreCounts - 1, "core-count index"},
        {9, kCacheSizes - 1, "cache-size index"},
        {10, kScaleSteps - 1, "scale index"},
    };
}

} // namespace

void User_Option_set(int option_index, double option_value) {
    if (option_index < 0 || option_index > 11) {
        fprintf(stderr,
                "User_Option_set: refused option index %d (value %g): index must be 0 to 11\n",
                option_index, option_value);
        return;
    }
    double whole = std::trunc(option_value);
    if (!std::isfinite(whole) || whole < INT_MIN || whole > INT_MAX) {
        fprintf(stderr,
                "User_Option_set: refused value %g for option index %d: not a finite number in int "
                "range\n",
                option_value, option_index);
        return;
    }
    int value = static_cast<int>(whole);
    for (const OptionBound &bound : option_bounds()) {
        if (bound.index == option_index && (value < 0 || value > bound.last)) {
            fprintf(stderr,
                    "User_Option_set: refused value %g for option index %d: %s must be 0 to %d\n",
                    option_value, option_index, bound.name, bound.last);
            return;
        }
    }
    User_Option[option_index] = value;
}

double SpeedUp_Max_core_L2_Scale(int option_index, double option_value) {
    User_Option_set(option_index, option_value);
    return speedup_max(0, 0, 0);
}

double SpeedUp_Max_L2(int option_index, double option_value) {
    User_Option_set(option_index, option_value);
    return speedup_max(1, 0, 1);
}
