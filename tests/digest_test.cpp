// Every figure and every printed byte of the searches, over every option combination, folded
// into one digest per set of limits. The digests were recorded from the straightforward first
// version of the searches; a reordered floating-point operation, a lost single-precision step
// or a changed byte of output changes them.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/model.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"
#include "tests/model_sources.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// FNV-1a, 64 bits: the same on every platform and standard library, which std::hash is not.
class Digest {
  public:
    void add(std::string_view bytes) {
        for (unsigned char byte : bytes)
            state = (state ^ byte) * 0x100000001b3u;
    }
    // "%a" is exact: two doubles that differ in any bit give different text.
    void add(const char *name, double value) {
        char text[64];
        snprintf(text, sizeof text, "%s %a\n", name, value);
        add(text);
    }
    void add(const char *name, int value) {
        char text[64];
        snprintf(text, sizeof text, "%s %d\n", name, value);
        add(text);
    }
    uint64_t value() const { return state; }

  private:
    uint64_t state = 0xcbf29ce484222325u;
};

// Everything a search may write.
void add_state(Digest &d) {
    d.add("cores", User_Option[8]);
    d.add("cache", User_Option[9]);
    d.add("scale", User_Option[10]);
    d.add("FRE", FRE);
    d.add("VDD_G", VDD_G);
    d.add("AREA_RESULT", AREA_RESULT);
    d.add("POWER_RESULT", POWER_RESULT);
    d.add("BW_RESULT", BW_RESULT);
    d.add("BW_RESULT_TSV", BW_RESULT_TSV);
}

void add_figures(Digest &d, const ConfigurationFigures &f) {
    d.add("area", f.area);
    d.add("power", f.power);
    d.add("bandwidth", f.bandwidth);
    d.add("bandwidth_tsv", f.bandwidth_tsv);
    d.add("speedup", f.speedup);
}

// What the window and the entry points run: the peak, the full search, then the configuration
// on show moved away from the best one and evaluated at an operating point between the scale
// steps, a search of its cache sizes and one of its scale steps, and a few configurations'
// figures with every check ignored.
void add_searches(Digest &d) {
    CaptureStdout();
    d.add("peak", speedup_max_1(0, 0, 0));
    add_state(d);
    d.add("best", speedup_max(0, 0, 0));
    add_state(d);

    const SearchOutcome outcome = find_best_configuration(0, 0, 0);
    d.add("found", outcome.found ? 1 : 0);
    d.add("outcome", outcome.speedup);
    add_figures(d, outcome.figures);

    User_Option[8] = (User_Option[8] + 11) % kCoreCounts;
    User_Option[9] = (User_Option[9] + 23) % kCacheSizes;
    User_Option[10] = (User_Option[10] + 3) % kScaleSteps;
    VDD_G = VDD_G * 0.9;
    FRE = FRE * 0.85;
    d.add("evaluated", speedup_max(1, 1, 1));
    add_state(d);
    d.add("cache search", speedup_max(1, 0, 1));
    add_state(d);
    d.add("scale search", speedup_max(1, 1, 0));
    add_state(d);

    for (int i = 0; i < kScaleSteps; i++)
        add_figures(d,
                    evaluate_configuration(i, (i * 9) % kCacheSizes, (i * 5) % kCoreCounts, i % 2));
    d.add(GetCapturedStdout());
}

enum class Limits {
    Node,      // the node's defaults and ceilings, loaded as an option change loads them
    Initial,   // the start-up limits and ceilings
    ChecksOff, // the node's defaults with one to three of the checks switched off
};

// Runs the searches over all 360 combinations of workload, memory, transistor kind, core kind
// and technology node.
uint64_t digest_of_every_combination(Limits limits) {
    Digest d;
    int combination = 0;
    for (int workload = 0; workload < kWorkloads; workload++)
        for (int memory = 0; memory < 2; memory++)
            for (int transistor = 0; transistor < 3; transistor++)
                for (int kind = 0; kind < kCoreKinds; kind++)
                    for (int node = 0; node < kNodes; node++, combination++) {
                        reset_design_state();
                        User_Option[0] = workload, User_Option[1] = memory;
                        User_Option[2] = transistor, User_Option[3] = kind;
                        User_Option[4] = node;
                        if (limits != Limits::Initial) {
                            const TranTechRecord &record = active_model().nodes[node].tech;
                            AREA_CONSTRT = record.area_budget;
                            POWER_CONSTRT = record.power_budget;
                            BW_CONSTRT = record.bw_offchip;
                            BW_CONSTRT_TSV = memory != 0 ? record.bw_tsv : 0;
                            FRE_MAX = transistor > 0 ? record.fmax_HP : record.fmax_LOP;
                            VDD_MAX = transistor > 0 ? record.Vdd_HP : record.Vdd_LOP;
                        }
                        if (limits == Limits::ChecksOff) {
                            const int on = combination % 7; // never all three on
                            User_Option[5] = on & 1, User_Option[6] = (on >> 1) & 1;
                            User_Option[7] = (on >> 2) & 1;
                        }
                        add_searches(d);
                    }
    reset_design_state();
    return d.value();
}

std::string hex(uint64_t value) {
    char text[32];
    snprintf(text, sizeof text, "0x%016" PRIx64, value);
    return text;
}

TEST(Digest, FoldsBytesAsPublishedForFnv1a) {
    Digest empty;
    EXPECT_EQ(hex(empty.value()), "0xcbf29ce484222325");
    Digest a;
    a.add("a");
    EXPECT_EQ(hex(a.value()), "0xaf63dc4c8601ec8c");
    Digest foobar;
    foobar.add("foobar");
    EXPECT_EQ(hex(foobar.value()), "0x85944171f73967e8");
}

// The same digests with the built-in tables and with the built-in model written as a model file
// and read back: the file must carry every bit of the model.
class EveryCombination : public testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        use_model_source(GetParam());
        reset_design_state();
    }
    void TearDown() override {
        set_active_model(nullptr);
        reset_design_state();
    }
};

TEST_P(EveryCombination, WithTheNodesLimitsGivesTheRecordedResultsAndOutput) {
    EXPECT_EQ(hex(digest_of_every_combination(Limits::Node)), "0x9e2b67cb7458a91e");
}

TEST_P(EveryCombination, WithTheInitialLimitsGivesTheRecordedResultsAndOutput) {
    EXPECT_EQ(hex(digest_of_every_combination(Limits::Initial)), "0x0afae8dafeb99b7f");
}

TEST_P(EveryCombination, WithChecksOffGivesTheRecordedResultsAndOutput) {
    EXPECT_EQ(hex(digest_of_every_combination(Limits::ChecksOff)), "0x7c5103260a424ab2");
}

INSTANTIATE_TEST_SUITE_P(Model, EveryCombination, kModelSources, model_source_name);

} // namespace
