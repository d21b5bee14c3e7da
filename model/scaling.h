// Operating point of a scale step (voltage ratio, frequency ratio, voltage guard), bandwidth
// demand in GB/s, and the model's two selection helpers.
#pragma once

// Frequency ratio that belongs to a voltage ratio of the voltage-to-frequency table; a ratio
// the table does not pair with a frequency is returned unchanged.
double f_scal(double vdd_ratio);

// A scaled supply must stay at or above 2.3 times the threshold voltage of what it feeds.
double Vdd_scale(double vdd_nom, double target, double vth);
double Vdd_scale_HP_LOP(double vdd_core, double target, double vdd_min, double vdd_check,
                        double vth);
int guard_check(double vdd_ratio, double vdd_nom, double vth);

double MUX(int sel, double a, double b); // b when sel is not 0, else a
double min(double a, double b);          // a when b > a, else b (also with a NaN)

double bandwidth(double bw_rate, double f_ratio, double fmax, double bw_cpi, double n_cores,
                 double core_perf, double bw_width, double miss_rate, double bw_norm);
double bandwidth_3d_mem(double bw_rate, double f_ratio, double fmax, double bw_cpi, double n_cores,
                        double core_perf, double bw_width, double miss_rate, double miss_alpha,
                        double layer_capacity, double layers, double growth, double year,
                        double base_year, double miss_beta, double miss_gamma, double bw_norm);
