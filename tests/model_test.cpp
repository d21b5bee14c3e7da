// The analytical model against the figures it is known to produce.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/area.h"
#include "model/power.h"
#include "model/scaling.h"
#include "model/speedup.h"
#include "model/tables.h"

namespace {

const TranTechRecord &node65 = Tran_Tech[1];
const AppTechRecord &tpcc = App_Tech[0];

double tpcc_miss_rate(double cache_mb, double year) {
    return L2_model_missRate(tpcc.miss_alpha, cache_mb, Workload_Factor, year, Tran_Tech[1].year,
                             tpcc.miss_beta, tpcc.miss_gamma);
}

TEST(Tables, LopLatencyRowsAreScaledHpRowsRoundedToTenDigits) {
    EXPECT_EQ(Cache_Latency_LOP[1 * 67 + 0], 7.563455618);
    EXPECT_EQ(Cache_Latency_LOP[3 * 67 + 0], 2.691908973);
    for (int j = 0; j < kCacheSizes; j++) {
        EXPECT_EQ(Cache_Latency_LOP[j], Cache_Latency[j]) << j;
        for (int node = 1; node < 4; node++) {
            static const double factor[] = {1, 521.0 / 280, 5.0 / 3, 2439.0 / 1639};
            double product = Cache_Latency[node * 67 + j] * factor[node];
            EXPECT_NEAR(Cache_Latency_LOP[node * 67 + j], product, 6e-10 * product)
                << node << " " << j;
        }
    }
    // The 65 nm row repeats 9.509509 over entries 12 to 18 and 12.317641 over 19 to 66.
    EXPECT_EQ(Cache_Latency[67 + 12], 9.509509);
    EXPECT_EQ(Cache_Latency[67 + 18], 9.509509);
    EXPECT_EQ(Cache_Latency[67 + 66], 12.317641);
    EXPECT_EQ(Cache_Latency[4 * 67 + 66], 9.095747498);
    EXPECT_EQ(Cache_Latency_LOP[4 * 67 + 66], 17.99780322);
}

TEST(Tables, RecordsAndAxesHoldTheirFigures) {
    for (const TranTechRecord &node : Tran_Tech)
        EXPECT_NEAR(node.bw_offchip, 63.36 * node.mem_data_rate, 1e-9);
    EXPECT_EQ(Tran_Tech[0].area_budget, 0);
    EXPECT_EQ(Tran_Tech[0].bw_tsv, 0);
    EXPECT_EQ(App_Tech[3].cpi, App_Tech[1].cpi);
    EXPECT_EQ(App_Tech[3].miss_gamma, App_Tech[1].miss_gamma);
    EXPECT_EQ(App_Tech[3].bw_rate, App_Tech[1].bw_rate);
    for (int node = 0; node < kNodes; node++) {
        EXPECT_EQ(Core_Area_data[5 + node], Core_Area_data[15 + node]);
        EXPECT_EQ(Core_Area_LOP_data[10 + node], Core_Area_LOP_data[15 + node]);
    }
    EXPECT_EQ(Cache_Size[0], 1);
    EXPECT_EQ(Cache_Size[3], 8);
    EXPECT_EQ(Cache_Size[66], 512);
    EXPECT_EQ(Cores_Num[0], 1);
    EXPECT_EQ(Cores_Num[16], 48);
    EXPECT_EQ(Cores_Num[17], 56);
    EXPECT_EQ(Cores_Num[34], 192);
    EXPECT_EQ(stack_capacity_mb(Mem_3D_Tech[4], Mem_3D_Tech[5]), 8192);
}

TEST(Area, CoresCacheAndStackInterface) {
    double l2 = L2_mm(4, node65.L2_area_LOP);
    EXPECT_DOUBLE_EQ(l2, 30.88);
    EXPECT_DOUBLE_EQ(area_cores_L2(8, Core_Area_LOP_data[1], l2), 170.864);
    // LOP/HP: HP cores, LOP cache.
    EXPECT_DOUBLE_EQ(area_cores_L2(8, Core_Area_data[1], l2), 140.24);
    EXPECT_EQ(area_cores_L2(1, Core_Area_LOP_data[5 + 4], L2_mm(1, Tran_Tech[4].L2_area_LOP)),
              0.235 + 0.571);

    const double expected[] = {10.24, 5.341, 2.56, 1.295, 0.5057};
    for (int node = 0; node < kNodes; node++)
        EXPECT_NEAR(stack_interface_area(Tran_Tech[node].node_nm, Mem_3D_Tech[0], Mem_3D_Tech[8]),
                    expected[node], 5e-4);
    EXPECT_EQ(stack_interface_area(45, Mem_3D_Tech[0], Mem_3D_Tech[8]), 2.56);
    EXPECT_NEAR(170.864 + stack_interface_area(65, 45, 2.56), 176.205, 5e-4);
}

TEST(MissRate, FallsWithCacheSizeAndRisesAtLaterNodes) {
    EXPECT_NEAR(tpcc_miss_rate(4, 2007), 0.23932, 5e-6);
    EXPECT_NEAR(tpcc_miss_rate(8, 2007), 0.16430, 5e-6);
    EXPECT_NEAR(tpcc_miss_rate(8, 2010), 0.24877, 5e-6);
    EXPECT_NEAR(tpcc_miss_rate(1, 2007), 0.460135, 5e-7);
    EXPECT_NEAR(tpcc_miss_rate(8192, 2007), 0.0028662, 5e-8);
}

TEST(MissRate, PowerLawRunsInSinglePrecision) {
    // The value is the float power widened to double, times alpha.
    double rate = tpcc_miss_rate(4, 2007);
    float expected =
        powf(static_cast<float>(4 + tpcc.miss_beta), static_cast<float>(tpcc.miss_gamma));
    EXPECT_NEAR(rate / tpcc.miss_alpha, static_cast<double>(expected), 1e-7);
    EXPECT_EQ(static_cast<double>(static_cast<float>(rate / tpcc.miss_alpha)),
              rate / tpcc.miss_alpha);
}

TEST(Speedup, PlainAndStackedMemory) {
    EXPECT_NEAR(speedup_cores(1, 1.7, 2.526, 1.0, 0.99, 8, 3.42, 0.06, 0.670882163, 0.25,
                              7.563455618, 51.894, 200, 5, 2, 1.0),
                24.5139, 5e-5);
    EXPECT_NEAR(speedup_cores_3d_mem(1, 1.7, 2.526, 1.0, 0.99, 8, 3.42, 0.06, 0.670882163, 0.25,
                                     7.563455618, 0.5785, 8, 9, 1.2913, 2007, 2007, 0.475, -0.589,
                                     51.894, 0.325, 200, 0, 2, 1.0),
                25.8613, 5e-5);
    // The best configuration of the initial full search: 12 cores, 1 MB, 65 nm LOP.
    EXPECT_NEAR(speedup_cores(1, 1.7, 2.526, 1.0, 0.99, 12, 3.42, 0.06, 0.670882163,
                              tpcc_miss_rate(1, 2007), 7.563455618, 51.894, 200, 5, 2, 1.0),
                31.4244, 5e-5);
}

TEST(Speedup, FailedGuardAndZeroFrequencyGiveZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(speedup_cores(0, nan, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1), 0.0);
    EXPECT_EQ(speedup_cores_3d_mem(0, nan, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                   1, 1, 1, 1),
              0.0);
    EXPECT_EQ(speedup_cores(1, 1.7, 2.526, 0.0, 0.99, 8, 3.42, 0.06, 0.670882163, 0.25, 7.563455618,
                            51.894, 200, 5, 2, 1.0),
              0.0);
}

TEST(Speedup, OneCoreHasNoAmdahlLoss) {
    // With one core the speedup is core_perf x frequency over the stall term alone.
    double one = speedup_cores(1, 1.0, 2.0, 1.0, 0.99, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1.0);
    EXPECT_EQ(one, 2.0);
}

// Power of 8 cores of kind 0 at 65 nm LOP, workload 0, the given cache size, miss rate and
// the nominal operating point; `change` edits one input to isolate a term.
template <typename Change> double power65(double cache_mb, double miss_rate, Change change) {
    struct Inputs {
        double n_cores = 8, core_power = App_Tech[0].core_power, ileak_core = node65.Ileak_LOP,
               l2_access_rate = tpcc.l2_access_rate, uncore_power = App_Tech[0].uncore_power;
    } in;
    change(in);
    const AppTechRecord &r = App_Tech[0];
    return power_W(in.n_cores, in.core_power, node65.Cgate_LOP, Tran_Tech[0].Cgate_HP,
                   node65.Vdd_LOP, 1.0, r.ref_Vdd, 1.0, node65.fmax_LOP, r.ref_freq, 0.0, r.ref_Vdd,
                   r.ref_freq, r.l2_dyn_power, r.ref_cores, r.icn_power_a, r.icn_power_b,
                   r.core_perf, tpcc.cpi, in.l2_access_rate, tpcc.latency_hidden, r.core_perf,
                   App_Tech[2].cpi, App_Tech[2].latency_hidden, cache_mb, r.ref_l2_mb,
                   r.l2_leak_power, in.ileak_core, Tran_Tech[0].Ileak_HP, node65.Lgate_LOP,
                   Tran_Tech[0].Lgate_HP, miss_rate, tpcc_miss_rate(4, 2007), r.mem_if_power,
                   node65.mem_data_rate, r.ref_mem_rate, node65.bw_offchip, Tran_Tech[0].bw_offchip,
                   Core_Area_LOP_data[1], node65.density_LOP, node65.Wgate_LOP, node65.Cgate_LOP,
                   node65.fmax_LOP, node65.Ileak_LOP, node65.Vdd_LOP, in.uncore_power);
}

TEST(Power, BreakdownOfEightCoresAtSixtyFiveNanometres) {
    auto same = [](auto &) {};
    const double m4 = tpcc_miss_rate(4, 2007);
    const double total = power65(4, m4, same);
    EXPECT_NEAR(total, 49.6159, 5e-5);
    // Each term isolated by switching off the one input that only it reads.
    EXPECT_NEAR(total - power65(4, m4, [](auto &in) { in.ileak_core = 0; }), 0.30962, 5e-6);
    EXPECT_NEAR(total - power65(4, m4, [](auto &in) { in.core_power = in.uncore_power = 0; }),
                19.5104, 5e-5);
    EXPECT_NEAR(total - power65(4, m4, [](auto &in) { in.l2_access_rate = 0; }), 6.5564, 5e-5);
    EXPECT_NEAR(power65(8, m4, same) - total, 1.8415, 5e-5); // L2 leakage is linear in size
    // The memory interface sits at its cap Y (about 21.398 W): more traffic changes nothing.
    EXPECT_EQ(power65(4, m4 * 1.1, same), total);
    EXPECT_NEAR(total - (0.30962 + 19.5104 + 6.5564 + 1.8415), 21.398, 5e-4);
}

TEST(Power, StackedMemoryOnlyLowersTheInterfaceTraffic) {
    const AppTechRecord &r = App_Tech[0];
    const double m1 = tpcc_miss_rate(1, 2007), m4 = tpcc_miss_rate(4, 2007);
    auto plain = [&](double n, double miss) {
        return power_W(
            n, r.core_power, node65.Cgate_LOP, Tran_Tech[0].Cgate_HP, node65.Vdd_LOP, 1.0,
            r.ref_Vdd, 1.0, node65.fmax_LOP, r.ref_freq, 0.0, r.ref_Vdd, r.ref_freq, r.l2_dyn_power,
            r.ref_cores, r.icn_power_a, r.icn_power_b, r.core_perf, tpcc.cpi, tpcc.l2_access_rate,
            tpcc.latency_hidden, r.core_perf, App_Tech[2].cpi, App_Tech[2].latency_hidden, 1,
            r.ref_l2_mb, r.l2_leak_power, node65.Ileak_LOP, Tran_Tech[0].Ileak_HP, node65.Lgate_LOP,
            Tran_Tech[0].Lgate_HP, miss, m4, r.mem_if_power, node65.mem_data_rate, r.ref_mem_rate,
            node65.bw_offchip, Tran_Tech[0].bw_offchip, Core_Area_LOP_data[1], node65.density_LOP,
            node65.Wgate_LOP, node65.Cgate_LOP, node65.fmax_LOP, node65.Ileak_LOP, node65.Vdd_LOP,
            r.uncore_power);
    };
    auto stacked = [&](double n, double miss) {
        return power_W_3d_mem(
            n, r.core_power, node65.Cgate_LOP, Tran_Tech[0].Cgate_HP, node65.Vdd_LOP, 1.0,
            r.ref_Vdd, 1.0, node65.fmax_LOP, r.ref_freq, 0.0, r.ref_Vdd, r.ref_freq, r.l2_dyn_power,
            r.ref_cores, r.icn_power_a, r.icn_power_b, r.core_perf, tpcc.cpi, tpcc.l2_access_rate,
            tpcc.latency_hidden, r.core_perf, App_Tech[2].cpi, App_Tech[2].latency_hidden, 1,
            r.ref_l2_mb, r.l2_leak_power, node65.Ileak_LOP, Tran_Tech[0].Ileak_HP, node65.Lgate_LOP,
            Tran_Tech[0].Lgate_HP, miss, tpcc.miss_alpha, Mem_3D_Tech[4], Mem_3D_Tech[5],
            Workload_Factor, 2007, 2007, tpcc.miss_beta, tpcc.miss_gamma, m4, r.mem_if_power,
            node65.mem_data_rate, r.ref_mem_rate, node65.bw_offchip, Tran_Tech[0].bw_offchip,
            Core_Area_LOP_data[1], node65.density_LOP, node65.Wgate_LOP, node65.Cgate_LOP,
            node65.fmax_LOP, node65.Ileak_LOP, node65.Vdd_LOP, r.uncore_power);
    };
    EXPECT_NEAR(plain(12, m1), 60.975, 5e-4);
    // Only the memory-interface term differs: with no L2 misses both draw the same power.
    EXPECT_EQ(stacked(12, 0), plain(12, 0));
    // Plain memory runs the interface at its cap; the stack passes on about 0.29 % of the
    // traffic, which falls below the cap.
    double cap_part = plain(12, m1) - plain(12, 0);
    double stack_part = stacked(12, m1) - plain(12, 0);
    EXPECT_NEAR(plain(8, m4) - plain(8, 0), 21.398, 5e-4);
    EXPECT_GT(stack_part, 0);
    EXPECT_LT(stack_part, cap_part * 0.01);
}

TEST(Scaling, VoltageToFrequencyTable) {
    EXPECT_EQ(f_scal(0.3), 0.1);
    EXPECT_EQ(f_scal(1.0), 1.0);
    EXPECT_EQ(f_scal(0.9), 0.91);
    EXPECT_EQ(f_scal(0.5), 0.44);
    EXPECT_EQ(f_scal(0.65), 0.65);
    EXPECT_TRUE(std::isnan(f_scal(std::nan(""))));
    // No frequency partner for the last three voltage ratios: returned as they are.
    EXPECT_EQ(f_scal(0.2), 0.2);
    EXPECT_EQ(f_scal(0.1), 0.1);
    EXPECT_EQ(f_scal(0.0), 0.0);
    // Exact comparison: a quotient a bit off the table value is not matched.
    EXPECT_EQ(f_scal(0.1 * 3), 0.1 * 3);
}

TEST(Scaling, VoltageRulesRaiseLowStepsToTheFloor) {
    const double lop_floor65 = 2.3 * 0.2266 / 0.8;
    for (double t : {1.0, 0.9, 0.8, 0.7})
        EXPECT_EQ(Vdd_scale(node65.Vdd_LOP, t, node65.Vth_LOP), t);
    for (double t : {0.6, 0.5, 0.4, 0.3})
        EXPECT_EQ(Vdd_scale(node65.Vdd_LOP, t, node65.Vth_LOP), lop_floor65);
    EXPECT_NEAR(lop_floor65, 0.651475, 1e-6);
    EXPECT_EQ(Vdd_scale(1, std::nan(""), 0.1), 2.3 * 0.1 / 1);

    const double lowest[] = {0.32609, 0.651475, 0.72019, 0.45179, 0.48885};
    for (int n = 0; n < kNodes; n++) {
        const TranTechRecord &r = Tran_Tech[n];
        for (double t : Target_Array) {
            double lop = Vdd_scale(r.Vdd_LOP, t, r.Vth_LOP);
            EXPECT_EQ(Vdd_scale_HP_LOP(r.Vdd_HP, t, r.Vdd_min_HP, r.Vdd_LOP, r.Vth_LOP), lop);
            EXPECT_EQ(Vdd_scale_HP_LOP(r.Vdd_HP, t, r.Vdd_min_HP, r.Vdd_HP, r.Vth_HP), t);
            EXPECT_EQ(guard_check(lop, r.Vdd_LOP, r.Vth_LOP), 1);
        }
        EXPECT_NEAR(Vdd_scale(r.Vdd_LOP, 0.3, r.Vth_LOP), lowest[n], 5e-6);
    }
    // The HP core bound alone also sends a step to the floor of the checked technology.
    EXPECT_EQ(Vdd_scale_HP_LOP(1.0, 0.5, 0.6, 1.0, 0.1), 2.3 * 0.1 / 1);
}

TEST(Scaling, GuardFailsBelowTheFloor) {
    EXPECT_EQ(guard_check(0.5, node65.Vdd_LOP, node65.Vth_LOP), 0);
    EXPECT_EQ(guard_check(2.3 * 0.1 / 1.0, 1.0, 0.1), 1); // equal to the floor passes
    EXPECT_EQ(guard_check(std::nan(""), 1.0, 0.1), 0);
}

TEST(Scaling, SelectionHelpers) {
    EXPECT_EQ(MUX(0, 1.5, 2.5), 1.5);
    EXPECT_EQ(MUX(5, 1.5, 2.5), 2.5);
    EXPECT_EQ(min(1, 2), 1);
    EXPECT_EQ(min(2, 1), 1);
    EXPECT_TRUE(std::isnan(min(1, std::nan(""))));
    EXPECT_EQ(min(std::nan(""), 1), 1);
}

TEST(Bandwidth, OffChipAndBehindTheStack) {
    const double m4 = tpcc_miss_rate(4, 2007);
    EXPECT_NEAR(bandwidth(tpcc.bw_rate, 1.0, node65.fmax_LOP, tpcc.bw_cpi, 8, tpcc.core_perf,
                          tpcc.bw_width, m4, tpcc.bw_norm),
                9.01496, 5e-6);
    EXPECT_NEAR(bandwidth_3d_mem(tpcc.bw_rate, 1.0, node65.fmax_LOP, tpcc.bw_cpi, 8, tpcc.core_perf,
                                 tpcc.bw_width, m4, tpcc.miss_alpha, 8, 9, Workload_Factor, 2007,
                                 2007, tpcc.miss_beta, tpcc.miss_gamma, tpcc.bw_norm),
                0.025838, 5e-7);
    EXPECT_NEAR(bandwidth(tpcc.bw_rate, 1.0, node65.fmax_LOP, tpcc.bw_cpi, 12, tpcc.core_perf,
                          tpcc.bw_width, tpcc_miss_rate(1, 2007), tpcc.bw_norm),
                25.999, 5e-4);
}

} // namespace
