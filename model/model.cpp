#include "model/model.h"

#include <algorithm>

namespace {

template <size_t N> std::array<double, N> array_of(const double *values) {
    std::array<double, N> out;
    std::copy(values, values + N, out.begin());
    return out;
}

} // namespace

Model model_detail::make_builtin_model() {
    Model m;
    m.parallel_fraction = Parallel_Fraction;
    m.working_set_growth = Workload_Factor;
    m.base_year = Tran_Tech[1].year;
    m.core_counts = array_of<kCoreCounts>(Cores_Num);
    m.cache_sizes = array_of<kCacheSizes>(Cache_Size);
    m.scale_steps = array_of<kScaleSteps>(Target_Array);
    m.vdd_ratios = array_of<11>(Vdd_Scaling);
    m.freq_ratios = array_of<kScaleSteps>(Fmax_Scaling);

    m.memory_kinds = {MemoryKindName{{"plain", "Plain Memory"}, "plain memory"},
                      MemoryKindName{{"3d", "3D Memory"}, "3D memory"}};
    m.transistor_kinds = {OptionName{"LOP", "LOP"}, OptionName{"LOP/HP", "LOP/HP"},
                          OptionName{"HP", "HP"}};

    const char *workload_names[kWorkloads] = {"DB2/TPCC", "DB2/TPCH", "Apache/Web"};
    for (int w = 0; w < kWorkloads; w++) {
        const AppTechRecord &a = App_Tech[w];
        WorkloadRecord r;
        r.name = r.window_item = workload_names[w];
        r.cpi = a.cpi;
        r.l2_access_rate = a.l2_access_rate;
        r.latency_hidden = a.latency_hidden;
        r.bw_rate = a.bw_rate;
        r.bw_cpi = a.bw_cpi;
        r.bw_width = a.bw_width;
        r.bw_norm = a.bw_norm;
        r.miss_alpha = a.miss_alpha;
        r.miss_beta = a.miss_beta;
        r.miss_gamma = a.miss_gamma;
        m.workloads.push_back(r);
    }

    const AppTechRecord &ref = App_Tech[0];
    const char *kind_names[kCoreKinds] = {"Niagara", "FPGA", "ASIC", "ARM"};
    for (int k = 0; k < kCoreKinds; k++) {
        const AppTechRecord &a = App_Tech[k];
        CoreKindRecord r;
        r.name = r.window_item = kind_names[k];
        r.core_perf = a.core_perf;
        r.core_power = a.core_power;
        r.ref_Vdd = a.ref_Vdd;
        r.ref_freq = a.ref_freq;
        r.uncore_power = a.uncore_power;
        // Core kinds other than the reference chip's own add the reference chip's shared logic.
        r.reference_uncore_power = k != 0 ? ref.uncore_power : 0.0;
        m.core_kinds.push_back(r);
    }

    const char *node_names[kNodes] = {"90nm", "65nm", "45nm", "32nm", "20nm"};
    for (int n = 0; n < kNodes; n++) {
        NodeRecord r;
        r.name = node_names[n];
        // The window shows the 90 nm node as a blank item.
        r.window_item = n == 0 ? "  " : node_names[n];
        r.tech = Tran_Tech[n];
        for (int k = 0; k < kCoreKinds; k++) {
            r.core_area_HP.push_back(Core_Area_data[k * kNodes + n]);
            r.core_area_LOP.push_back(Core_Area_LOP_data[k * kNodes + n]);
        }
        r.l2_latency_HP = array_of<kCacheSizes>(Cache_Latency + n * kCacheSizes);
        r.l2_latency_LOP = array_of<kCacheSizes>(Cache_Latency_LOP + n * kCacheSizes);
        m.nodes.push_back(r);
    }
    m.start_node = 1;

    ReferenceChip &c = m.reference;
    c.cores = ref.ref_cores;
    c.core_perf = ref.core_perf;
    c.Vdd = ref.ref_Vdd;
    c.freq = ref.ref_freq;
    c.l2_mb = ref.ref_l2_mb;
    c.mem_rate = ref.ref_mem_rate;
    c.icn_power_a = ref.icn_power_a;
    c.icn_power_b = ref.icn_power_b;
    c.l2_dyn_power = ref.l2_dyn_power;
    c.l2_leak_power = ref.l2_leak_power;
    c.mem_if_power = ref.mem_if_power;
    // Its L2 activity is measured against the Apache/Web workload, its transistors are the
    // 90 nm node's HP ones.
    c.cpi = App_Tech[2].cpi;
    c.latency_hidden = App_Tech[2].latency_hidden;
    c.Cgate = Tran_Tech[0].Cgate_HP;
    c.Ileak = Tran_Tech[0].Ileak_HP;
    c.Lgate = Tran_Tech[0].Lgate_HP;
    c.bw_offchip = Tran_Tech[0].bw_offchip;

    m.stack = MemoryStack{Mem_3D_Tech[0], Mem_3D_Tech[2], Mem_3D_Tech[3],
                          Mem_3D_Tech[4], Mem_3D_Tech[5], Mem_3D_Tech[8]};
    return m;
}

namespace {

// Owns the active model when it is not the built-in one.
std::shared_ptr<const Model> &active_slot() {
    static std::shared_ptr<const Model> owner;
    return owner;
}

} // namespace

void set_active_model(std::shared_ptr<const Model> model) {
    active_slot() = std::move(model);
    model_detail::active = active_slot().get();
}
