#include <span>

#include "modelfile/fields.h"
#include "modelfile/model_file.h"

namespace {

using namespace model_file_detail;

double *constant_at(Model &m, int, int i) {
    return &(m.*kConstantFields[i].member);
}
double *workload_at(Model &m, int entry, int i) {
    return &(m.workloads[size_t(entry)].*kWorkloadFields[i].member);
}
double *workload_fraction_at(Model &m, int entry, int) {
    return &*m.workloads[size_t(entry)].parallel_fraction;
}
double *core_kind_at(Model &m, int entry, int i) {
    return &(m.core_kinds[size_t(entry)].*kCoreKindFields[i].member);
}
double *node_at(Model &m, int entry, int i) {
    return &(m.nodes[size_t(entry)].tech.*kNodeFields[i].member);
}
double *core_area_HP_at(Model &m, int entry, int kind) {
    return &m.nodes[size_t(entry)].core_area_HP[size_t(kind)];
}
double *core_area_LOP_at(Model &m, int entry, int kind) {
    return &m.nodes[size_t(entry)].core_area_LOP[size_t(kind)];
}
double *node_uncore_at(Model &m, int entry, int i) {
    return &(m.nodes[size_t(entry)].*kNodeUncoreFields[i].member);
}
double *alpha_at(Model &m, int, int) {
    return &m.alpha;
}
double *reference_at(Model &m, int, int i) {
    return &(m.reference.*kReferenceFields[i].member);
}
double *stack_at(Model &m, int, int i) {
    return &(m.stack.*kStackFields[i].member);
}

template <class R>
void add_fields(std::vector<ModelNumberField> &out, std::span<const Field<R>> fields,
                const std::string &section, const std::string &entry_name, int entry,
                double *(*locate)(Model &, int, int)) {
    const std::string prefix = section + "." + (entry_name.empty() ? "" : entry_name + ".");
    for (size_t i = 0; i < fields.size(); i++) {
        const Range &r = *fields[i].range;
        out.push_back(ModelNumberField{prefix + fields[i].key, section, entry, fields[i].key, r.low,
                                       r.high, r.low_open, r.high_open, r.whole, locate, int(i)});
    }
}

} // namespace

bool ModelNumberField::admits(double v) const {
    return Range{low, high, low_open, high_open, whole, ""}.admits(v);
}

std::string ModelNumberField::accepted() const {
    for (const Range *r : {&kAnyNumber, &kPositive, &kNonNegative, &kFraction, &kBelowOne, &kRatio,
                           &kAxisValue, &kLayers, &kExponent})
        if (r->low == low && r->high == high && r->low_open == low_open &&
            r->high_open == high_open && r->whole == whole)
            return r->text;
    return "a finite number";
}

std::vector<ModelNumberField> model_number_fields(const Model &m) {
    std::vector<ModelNumberField> out;
    add_fields<Model>(out, kConstantFields, "constants", "", -1, constant_at);
    add_fields<ReferenceChip>(out, kReferenceFields, "reference_chip", "", -1, reference_at);
    add_fields<MemoryStack>(out, kStackFields, "memory_stack", "", -1, stack_at);
    if (m.frequency_law == FrequencyLaw::AlphaPower)
        out.push_back(ModelNumberField{"voltage_frequency.alpha", "voltage_frequency", -1, "alpha",
                                       kExponent.low, kExponent.high, kExponent.low_open,
                                       kExponent.high_open, kExponent.whole, alpha_at, 0});
    for (size_t w = 0; w < m.workloads.size(); w++) {
        add_fields<WorkloadRecord>(out, kWorkloadFields, "workload", m.workloads[w].name, int(w),
                                   workload_at);
        if (m.workloads[w].parallel_fraction)
            out.push_back(ModelNumberField{"workload." + m.workloads[w].name + ".parallel_fraction",
                                           "workload", int(w), "parallel_fraction", 0, 1, false,
                                           false, false, workload_fraction_at, 0});
    }
    for (size_t k = 0; k < m.core_kinds.size(); k++)
        add_fields<CoreKindRecord>(out, kCoreKindFields, "core_kind", m.core_kinds[k].name, int(k),
                                   core_kind_at);
    for (size_t n = 0; n < m.nodes.size(); n++) {
        const std::string &name = m.nodes[n].name;
        add_fields<TranTechRecord>(out, kNodeFields, "node", name, int(n), node_at);
        add_fields<NodeRecord>(out, kNodeUncoreFields, "node", name, int(n), node_uncore_at);
        for (size_t k = 0; k < m.core_kinds.size(); k++)
            for (auto [key, locate] : {std::pair<const char *, double *(*)(Model &, int, int)>{
                                           "core_area_HP_mm2", core_area_HP_at},
                                       {"core_area_LOP_mm2", core_area_LOP_at}}) {
                const std::string field = std::string(key) + "." + m.core_kinds[k].name;
                out.push_back(ModelNumberField{"node." + name + "." + field, "node", int(n), field,
                                               kNonNegative.low, kNonNegative.high, false, false,
                                               false, locate, int(k)});
            }
    }
    return out;
}
