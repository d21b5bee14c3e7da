#include "model/scaling.h"

#include "model/speedup.h"
#include "model/tables.h"

double f_scal(double vdd_ratio) {
    for (int position = 0; position < 11; position++) {
        if (Vdd_Scaling[position] == vdd_ratio) {
            // The last three voltage ratios (0.2, 0.1, 0.0) have no frequency partner.
            return position < 8 ? Fmax_Scaling[position] : vdd_ratio;
        }
    }
    return vdd_ratio;
}

static const double kFloorFactor = 2.3;

double Vdd_scale(double vdd_nom, double target, double vth) {
    if (vdd_nom * target >= kFloorFactor * vth)
        return target;
    return kFloorFactor * vth / vdd_nom;
}

double Vdd_scale_HP_LOP(double vdd_core, double target, double vdd_min, double vdd_check,
                        double vth) {
    if (vdd_core * target >= vdd_min && vdd_check * target >= kFloorFactor * vth)
        return target;
    return kFloorFactor * vth / vdd_check;
}

int guard_check(double vdd_ratio, double vdd_nom, double vth) {
    return vdd_ratio * vdd_nom >= kFloorFactor * vth ? 1 : 0;
}

double MUX(int sel, double a, double b) {
    return sel != 0 ? b : a;
}

double min(double a, double b) {
    return b > a ? a : b;
}

double bandwidth(double bw_rate, double f_ratio, double fmax, double bw_cpi, double n_cores,
                 double core_perf, double bw_width, double miss_rate, double bw_norm) {
    return bw_rate * f_ratio * fmax / bw_cpi * n_cores * core_perf / bw_width * miss_rate / bw_norm;
}

double bandwidth_3d_mem(double bw_rate, double f_ratio, double fmax, double bw_cpi, double n_cores,
                        double core_perf, double bw_width, double miss_rate, double miss_alpha,
                        double layer_capacity, double layers, double growth, double year,
                        double base_year, double miss_beta, double miss_gamma, double bw_norm) {
    double traffic = bw_rate * f_ratio * fmax / bw_cpi * n_cores * core_perf / bw_width * miss_rate;
    double stack_miss_rate =
        L2_model_missRate(miss_alpha, stack_capacity_mb(layer_capacity, layers), growth, year,
                          base_year, miss_beta, miss_gamma);
    return (stack_miss_rate * traffic) / bw_norm;
}
