// Operating point of a scale step (voltage ratio, frequency ratio, voltage guard), bandwidth
// demand in GB/s, and the model's two selection helpers. Defined here so that the searches can
// inline them.
#pragma once

#include <cmath>

#include "model/model.h"
#include "model/speedup.h"
#include "model/tables.h"

// Frequency ratio that belongs to a voltage ratio of a model's voltage-to-frequency table
// (vdd_ratios, freq_ratios); a ratio the table does not pair with a frequency is returned
// unchanged.
inline double f_scal(const Model &model, double vdd_ratio) {
    for (int position = 0; position < 11; position++) {
        if (model.vdd_ratios[position] == vdd_ratio) {
            // The last three voltage ratios (0.2, 0.1, 0.0 in the built-in model) have no
            // frequency partner.
            return position < kScaleSteps ? model.freq_ratios[position] : vdd_ratio;
        }
    }
    return vdd_ratio;
}

// The same with the active model's table.
inline double f_scal(double vdd_ratio) {
    return f_scal(active_model(), vdd_ratio);
}

// The alpha-power law: a core's frequency goes as (V - Vth)^alpha / V. The ratio of the
// frequency at voltage ratio vdd_ratio to the one at the nominal supply; 0 where the supply does
// not exceed the threshold (nothing switches).
inline double alpha_power_ratio(double vdd_nom, double vth, double alpha, double vdd_ratio) {
    const double vdd = vdd_nom * vdd_ratio;
    if (!(vdd > vth))
        return 0.0;
    return std::pow(vdd - vth, alpha) / vdd / (std::pow(vdd_nom - vth, alpha) / vdd_nom);
}

// The cores' frequency ratio under the model's law: the table's for table_ratio (a scale step's
// target, or the ratio of a supply given), or the alpha-power law's at the voltage ratio applied
// to the cores. transistor: 0 LOP, 1 LOP/HP, anything else HP (HP cores but with LOP).
inline double frequency_ratio(const Model &model, const TranTechRecord &node, int transistor,
                              double table_ratio, double vdd_ratio) {
    if (model.frequency_law != FrequencyLaw::AlphaPower)
        return f_scal(model, table_ratio);
    const bool core_lop = transistor == 0;
    return alpha_power_ratio(core_lop ? node.Vdd_LOP : node.Vdd_HP,
                             core_lop ? node.Vth_LOP : node.Vth_HP, model.alpha, vdd_ratio);
}

// A scaled supply must stay at or above 2.3 times the threshold voltage of what it feeds.
inline constexpr double kFloorFactor = 2.3;

inline double Vdd_scale(double vdd_nom, double target, double vth) {
    if (vdd_nom * target >= kFloorFactor * vth)
        return target;
    return kFloorFactor * vth / vdd_nom;
}

inline double Vdd_scale_HP_LOP(double vdd_core, double target, double vdd_min, double vdd_check,
                               double vth) {
    if (vdd_core * target >= vdd_min && vdd_check * target >= kFloorFactor * vth)
        return target;
    return kFloorFactor * vth / vdd_check;
}

inline int guard_check(double vdd_ratio, double vdd_nom, double vth) {
    return vdd_ratio * vdd_nom >= kFloorFactor * vth ? 1 : 0;
}

// b when sel is not 0, else a
inline double MUX(int sel, double a, double b) {
    return sel != 0 ? b : a;
}

// a when b > a, else b (also with a NaN)
inline double min(double a, double b) {
    return b > a ? a : b;
}

inline double bandwidth(double bw_rate, double f_ratio, double fmax, double bw_cpi, double n_cores,
                        double core_perf, double bw_width, double miss_rate, double bw_norm) {
    return bw_rate * f_ratio * fmax / bw_cpi * n_cores * core_perf / bw_width * miss_rate / bw_norm;
}

// As bandwidth_3d_mem, with the stack's miss rate (stack_miss_rate) given.
inline double bandwidth_stacked(double bw_rate, double f_ratio, double fmax, double bw_cpi,
                                double n_cores, double core_perf, double bw_width, double miss_rate,
                                double stack_miss_rate, double bw_norm) {
    double traffic = bw_rate * f_ratio * fmax / bw_cpi * n_cores * core_perf / bw_width * miss_rate;
    return (stack_miss_rate * traffic) / bw_norm;
}

inline double bandwidth_3d_mem(double bw_rate, double f_ratio, double fmax, double bw_cpi,
                               double n_cores, double core_perf, double bw_width, double miss_rate,
                               double miss_alpha, double layer_capacity, double layers,
                               double growth, double year, double base_year, double miss_beta,
                               double miss_gamma, double bw_norm) {
    return bandwidth_stacked(bw_rate, f_ratio, fmax, bw_cpi, n_cores, core_perf, bw_width,
                             miss_rate,
                             stack_miss_rate(miss_alpha, layer_capacity, layers, growth, year,
                                             base_year, miss_beta, miss_gamma),
                             bw_norm);
}
