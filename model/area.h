// Die area of a configuration, mm^2.
#pragma once

double L2_mm(double cache_mb, double l2_area_per_mb);
double area_cores_L2(double n_cores, double core_area, double l2_area);
// Footprint of the stacked-memory interface at a node, scaled from its area at ref_node_nm.
double stack_interface_area(double node_nm, double ref_node_nm, double tsv_area);
