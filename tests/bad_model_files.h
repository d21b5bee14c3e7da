// Model files that must be refused as a whole, each with the line and the field that the
// message about its problem names. Used by the model-file tests and by the command-line tests
// (every case must end the program with status 2 and print nothing on standard output).
#pragma once

struct BadModelFile {
    const char *name;  // a C identifier
    const char *text;  // the file's bytes
    int line;          // LINE of the message "FILE:LINE: FIELD: ..."
    const char *field; // its FIELD
};

// Files from here on start from the built-in model; their own lines start at 3.
#define BUILT_IN_PLUS "format_version = 1\nextends = \"built-in\"\n"

inline constexpr BadModelFile kBadModelFiles[] = {
    {"syntax_error", BUILT_IN_PLUS "[constants\n", 3, "TOML syntax"},
    {"invalid_utf8", BUILT_IN_PLUS "[[workload]]\nname = \"\xff\"\n", 4, "TOML syntax"},
    {"integer_too_large", BUILT_IN_PLUS "[constants]\nbase_year = 99999999999999999999\n", 4,
     "TOML syntax"},
    {"control_byte", BUILT_IN_PLUS "[constants]\n\x01\n", 4, "TOML syntax"},
    {"non_ascii_outside_strings", BUILT_IN_PLUS "[constants]\nbase_year = 2007 \xc2\xa1\n", 4,
     "TOML syntax"},
    {"key_too_deep", BUILT_IN_PLUS "\na.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a.a = 1\n", 4, "TOML syntax"},
    {"no_format_version", "extends = \"built-in\"\n[constants]\nparallel_fraction = 0.9\n", 1,
     "format_version"},
    {"unknown_version", "format_version = 2\n", 1, "format_version"},
    {"version_as_text", "format_version = \"1\"\n", 1, "format_version"},
    {"unknown_extends", "format_version = 1\nextends = \"builtin\"\n", 2, "extends"},
    {"missing_section", "format_version = 1\n", 1, "constants"},
    {"no_workloads", "format_version = 1\nworkload = []\n", 2, "workload"},
    {"unknown_section", BUILT_IN_PLUS "[constant]\nparallel_fraction = 0.9\n", 3, "constant"},
    {"unknown_field", BUILT_IN_PLUS "[constants]\nparalel_fraction = 0.9\n", 4,
     "constants paralel_fraction"},
    {"unknown_kind", BUILT_IN_PLUS "[transistor_kinds.LOPHP]\nname = \"x\"\n", 3,
     "transistor_kinds.LOPHP"},
    {"text_for_number", BUILT_IN_PLUS "[constants]\nparallel_fraction = \"0.9\"\n", 4,
     "constants parallel_fraction"},
    {"boolean_for_number", BUILT_IN_PLUS "[constants]\nbase_year = true\n", 4,
     "constants base_year"},
    {"number_for_text", BUILT_IN_PLUS "[[node]]\nname = \"45nm\"\nwindow_item = 45\n", 5,
     "node \"45nm\" window_item"},
    {"table_for_entries", BUILT_IN_PLUS "[workload]\nname = \"X\"\n", 3, "workload"},
    {"fraction_above_one", BUILT_IN_PLUS "[constants]\nparallel_fraction = 1.5\n", 4,
     "constants parallel_fraction"},
    {"infinite", BUILT_IN_PLUS "[constants]\nworking_set_growth = inf\n", 4,
     "constants working_set_growth"},
    {"not_a_number", BUILT_IN_PLUS "[[workload]]\nname = \"DB2/TPCC\"\ncpi = nan\n", 5,
     "workload \"DB2/TPCC\" cpi"},
    {"zero_divisor", BUILT_IN_PLUS "[[workload]]\nname = \"Apache/Web\"\nbw_width = 0\n", 5,
     "workload \"Apache/Web\" bw_width"},
    {"negative_power_base", BUILT_IN_PLUS "[[workload]]\nname = \"db2/tpch\"\nmiss_beta = -0.1\n",
     5, "workload \"db2/tpch\" miss_beta"},
    {"negative_frequency", BUILT_IN_PLUS "[[node]]\nname = \"45nm\"\nfmax_HP = -1\n", 5,
     "node \"45nm\" fmax_HP"},
    {"short_latency_row", BUILT_IN_PLUS "[[node]]\nname = \"45nm\"\nl2_latency_HP_ns = [1, 2, 3]\n",
     5, "node \"45nm\" l2_latency_HP_ns"},
    {"short_axis", BUILT_IN_PLUS "[axes]\ncore_counts = [1, 2, 4]\n", 4, "axes core_counts"},
    {"axis_out_of_order",
     BUILT_IN_PLUS "[axes]\ncore_counts = [1, 2, 4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 36, 40,\n"
                   "44, 48, 64, 56, 72, 80, 88, 96, 104, 112, 120, 128, 136, 144, 152, 160, 168,\n"
                   "176, 184, 192]\n",
     5, "axes core_counts[18]"},
    {"fractional_core_count",
     BUILT_IN_PLUS "[axes]\ncore_counts = [1, 2.5, 4, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 36, 40,"
                   " 44, 48, 56, 64, 72, 80, 88, 96, 104, 112, 120, 128, 136, 144, 152, 160, 168,"
                   " 176, 184, 192]\n",
     4, "axes core_counts[1]"},
    {"scale_step_above_one",
     BUILT_IN_PLUS "[axes]\nscale_steps = [1.2, 0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3]\n", 4,
     "axes scale_steps[0]"},
    {"zero_frequency_ratio",
     BUILT_IN_PLUS "[voltage_frequency]\nfreq_ratios = [1, 0.91, 0.81, 0.7, 0.58, 0.44, 0.27, 0]\n",
     4, "voltage_frequency freq_ratios[7]"},
    {"reference_hides_all", BUILT_IN_PLUS "[reference_chip]\nlatency_hidden = 1\n", 4,
     "reference_chip latency_hidden"},
    {"one_stack_layer", BUILT_IN_PLUS "[memory_stack]\nlayers = 1\n", 4, "memory_stack layers"},
    {"duplicate_kind_name", BUILT_IN_PLUS "[memory_kinds.stacked]\nname = \"PLAIN\"\n", 4,
     "memory_kinds.stacked name"},
    {"duplicate_entry",
     BUILT_IN_PLUS
     "[[core_kind]]\nname = \"FPGA\"\ncore_perf = 8\n[[core_kind]]\nname = \"fpga\"\n",
     7, "core_kind \"fpga\" name"},
    {"empty_name", BUILT_IN_PLUS "[[workload]]\nname = \"\"\n", 4, "workload 1 name"},
    {"control_character", BUILT_IN_PLUS "[[workload]]\nname = \"DB2\\u0007\"\n", 4,
     "workload 1 name"},
    {"space_at_end", BUILT_IN_PLUS "[[node]]\nname = \"45nm \"\n", 4, "node 1 name"},
    {"new_entry_incomplete", BUILT_IN_PLUS "[[workload]]\nname = \"Batch\"\ncpi = 1\n", 3,
     "workload \"Batch\" l2_access_rate"},
    {"area_of_unknown_kind",
     BUILT_IN_PLUS "[[node]]\nname = \"45nm\"\ncore_area_HP_mm2 = { \"Niagra\" = 6 }\n", 5,
     "node \"45nm\" core_area_HP_mm2 \"Niagra\""},
    {"area_given_twice",
     BUILT_IN_PLUS "[[node]]\nname = \"45nm\"\ncore_area_LOP_mm2 = { FPGA = 1, fpga = 2 }\n", 5,
     "node \"45nm\" core_area_LOP_mm2 \"fpga\""},
    {"negative_area",
     BUILT_IN_PLUS "[[node]]\nname = \"20nm\"\ncore_area_HP_mm2 = { ARM = -0.2 }\n", 5,
     "node \"20nm\" core_area_HP_mm2 \"ARM\""},
    {"new_kind_without_areas",
     BUILT_IN_PLUS "[[core_kind]]\nname = \"RISC\"\ncore_perf = 2\ncore_power = 0.5\nref_Vdd = 1\n"
                   "ref_freq = 1\nuncore_power = 0\nreference_uncore_power = 0\n",
     3, "node \"90nm\" core_area_HP_mm2"},
    {"start_node_unknown", BUILT_IN_PLUS "[constants]\nstart_node = \"7nm\"\n", 4,
     "constants start_node"},
    {"workload_fraction_above_one",
     BUILT_IN_PLUS "[[workload]]\nname = \"DB2/TPCC\"\nparallel_fraction = 1.2\n", 5,
     "workload \"DB2/TPCC\" parallel_fraction"},
    {"based_on_unknown_node", BUILT_IN_PLUS "[[node]]\nname = \"14nm\"\nbased_on = \"16nm\"\n", 5,
     "node \"14nm\" based_on"},
    {"based_on_a_later_node",
     BUILT_IN_PLUS "[[node]]\nname = \"10nm\"\nbased_on = \"14nm\"\n[[node]]\nname = \"14nm\"\n"
                   "based_on = \"20nm\"\n",
     5, "node \"10nm\" based_on"},
    {"based_on_itself", BUILT_IN_PLUS "[[node]]\nname = \"20nm\"\nbased_on = \"20NM\"\n", 5,
     "node \"20nm\" based_on"},
    {"based_on_not_text", BUILT_IN_PLUS "[[node]]\nname = \"14nm\"\nbased_on = 20\n", 5,
     "node \"14nm\" based_on"},
    {"unknown_frequency_law", BUILT_IN_PLUS "[voltage_frequency]\nfrequency_law = \"cubic\"\n", 4,
     "voltage_frequency frequency_law"},
    {"alpha_power_without_alpha",
     BUILT_IN_PLUS "[voltage_frequency]\nfrequency_law = \"alpha_power\"\n", 4,
     "voltage_frequency alpha"},
    {"zero_alpha",
     BUILT_IN_PLUS "[voltage_frequency]\nfrequency_law = \"alpha_power\"\nalpha = 0\n", 5,
     "voltage_frequency alpha"},
    {"negative_uncore_area", BUILT_IN_PLUS "[[node]]\nname = \"32nm\"\nuncore_area_mm2 = -5\n", 5,
     "node \"32nm\" uncore_area_mm2"},
    {"uncore_power_as_text", BUILT_IN_PLUS "[[node]]\nname = \"32nm\"\nuncore_power_W = \"9\"\n", 5,
     "node \"32nm\" uncore_power_W"},
};

#undef BUILT_IN_PLUS
