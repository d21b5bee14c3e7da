// Die area of a configuration, mm^2. Defined here so that the searches can inline them.
#pragma once

inline double L2_mm(double cache_mb, double l2_area_per_mb) {
    return cache_mb * l2_area_per_mb;
}

inline double area_cores_L2(double n_cores, double core_area, double l2_area) {
    return n_cores * core_area + l2_area;
}

// Footprint of the stacked-memory interface at a node, scaled from its area at ref_node_nm.
inline double stack_interface_area(double node_nm, double ref_node_nm, double tsv_area) {
    // The square is taken in single precision, as a float product (what an optimised build
    // makes of powf(ratio, 2.0f) too).
    float ratio = static_cast<float>(node_nm / ref_node_nm);
    return static_cast<double>(ratio * ratio) * tsv_area;
}
