// Fuzz target: User_Option_set, the entry points and the searches, in any order, with arbitrary
// option indices and values, limits, ceilings and operating points in the design state. The
// input is a sequence of operations, each a byte choosing it followed by its operands; a
// missing operand reads as 0. After every operation the options that index the tables are
// within them, as User_Option_set and the searches promise.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/state.h"
#include "model/tables.h"
#include "search/entry_points.h"
#include "search/search.h"

namespace {

struct Operands {
    const uint8_t *data;
    size_t size;
    template <typename T> T take() {
        T value{};
        const size_t n = size < sizeof value ? size : sizeof value;
        memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
    // Mostly the indices there are and one on each side; now and then any int.
    int index() {
        const uint8_t pick = take<uint8_t>();
        return pick < 224 ? pick % 14 - 1 : take<int32_t>();
    }
    // Mostly small whole numbers, the values the options take; otherwise any bits at all.
    double value() {
        const uint8_t pick = take<uint8_t>();
        return pick < 160 ? pick % 48 - 4 : take<double>();
    }
    int flag() { return take<uint8_t>() % 3 == 0 ? 0 : 1; }
};

bool within(int value, int count) {
    return value >= 0 && value < count;
}

void check_tables_indexed() {
    if (!within(User_Option[0], kWorkloads) || !within(User_Option[3], kCoreKinds) ||
        !within(User_Option[4], kNodes) || !within(User_Option[8], kCoreCounts) ||
        !within(User_Option[9], kCacheSizes) || !within(User_Option[10], kScaleSteps))
        abort();
}

void check_outcome(const SearchOutcome &outcome) {
    if (!within(outcome.scale, kScaleSteps) || !within(outcome.cache, kCacheSizes) ||
        !within(outcome.cores, kCoreCounts))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    reset_design_state();
    Operands in{data, size};
    // Each search takes up to a few milliseconds under the sanitizers.
    int searches_left = 12;
    double *limits[4] = {&AREA_CONSTRT, &POWER_CONSTRT, &BW_CONSTRT, &BW_CONSTRT_TSV};
    while (in.size > 0) {
        const uint8_t operation = in.take<uint8_t>() % 10;
        const bool searches = operation == 1 || operation == 2 || operation >= 6;
        if (searches && searches_left-- <= 0)
            break;
        switch (operation) {
        case 0: {
            const int index = in.index();
            User_Option_set(index, in.value());
            break;
        }
        case 1: {
            const int index = in.index();
            SpeedUp_Max_core_L2_Scale(index, in.value());
            break;
        }
        case 2: {
            const int index = in.index();
            SpeedUp_Max_L2(index, in.value());
            break;
        }
        case 3:
            *limits[in.take<uint8_t>() % 4] = in.take<double>();
            break;
        case 4:
            (in.take<uint8_t>() % 2 ? FRE : VDD_G) = in.take<double>();
            break;
        case 5:
            (in.take<uint8_t>() % 2 ? FRE_MAX : VDD_MAX) = in.take<double>();
            break;
        case 6: {
            const int cores = in.flag(), cache = in.flag();
            speedup_max(cores, cache, in.flag());
            break;
        }
        case 7: {
            const int cores = in.flag(), cache = in.flag();
            speedup_max_1(cores, cache, in.flag());
            break;
        }
        case 8: {
            const int cores = in.flag(), cache = in.flag();
            check_outcome(find_best_configuration(cores, cache, in.flag()));
            break;
        }
        default: {
            const int scale = in.take<uint8_t>() % kScaleSteps;
            const int cache = in.take<uint8_t>() % kCacheSizes;
            const int cores = in.take<uint8_t>() % kCoreCounts;
            evaluate_configuration(scale, cache, cores, in.flag());
            break;
        }
        }
        check_tables_indexed();
    }
    return 0;
}
