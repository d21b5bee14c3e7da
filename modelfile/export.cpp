#include <algorithm>
#include <span>

#include "modelfile/fields.h"
#include "modelfile/model_file.h"
#include "modelfile/plausibility.h"
#include "modelfile/text.h"

namespace {

using namespace model_file_detail;

void write_line(std::string &out, const std::string &assignment, const std::string &meaning) {
    out += assignment;
    out.append(assignment.size() < 34 ? 34 - assignment.size() : 1, ' ');
    out += "# ";
    out += meaning;
    out += '\n';
}

// What a figure is, as docs/model.md's table of the built-in figures words it.
std::string kind_of(std::string_view section, std::string_view key) {
    if (section == "node") {
        if (key == "Vdd_min_HP")
            return "calibrated constant";
        if (key == "area_budget" || key == "power_budget" || key == "bw_offchip" || key == "bw_tsv")
            return "assumption";
        return "technology parameter";
    }
    if (section == "workload")
        return "workload measurement";
    if (section == "core_kind" || section == "reference_chip" || section == "voltage_frequency")
        return "calibrated constant";
    if (section == "axes")
        return "design-space choice";
    return "assumption"; // constants, memory_stack
}

// The figures of the model outside their typical ranges, each noted above its field.
struct Notes {
    std::vector<Oddity> oddities;

    void write(std::string &out, std::string_view section, std::string_view entry,
               std::string_view key) const {
        for (const Oddity &o : oddities)
            if (o.section == section && o.entry == entry && o.key == key)
                out += "# Outside the typical range, kept as given (docs/model.md):\n#   " +
                       (o.kind.empty() ? std::string() : o.kind + ": ") + o.problem +
                       "\n#   typical: " + o.typical + "\n";
    }
};

template <class R>
void write_fields(std::string &out, std::span<const Field<R>> fields, const R &record,
                  const std::string &section, const std::string &entry, const Notes &notes) {
    for (const Field<R> &f : fields) {
        notes.write(out, section, entry, f.key);
        write_line(out, std::string(f.key) + " = " + toml_number(record.*f.member),
                   kind_of(section, f.key) + ": " + f.meaning);
    }
}

void write_array(std::string &out, const char *key, std::span<const double> values,
                 const std::string &meaning) {
    out += "# ";
    out += meaning;
    out += " (" + std::to_string(values.size()) + " values)\n";
    out += key;
    out += " = [";
    for (size_t i = 0; i < values.size(); i++) {
        out += i % 8 == 0 ? "\n    " : " ";
        out += toml_number(values[i]) + ",";
    }
    out += "\n]\n";
}

void write_names(std::string &out, const OptionName &option) {
    write_line(out, "name = " + toml_string(option.name), "what the command line takes and prints");
    write_line(out, "window_item = " + toml_string(option.window_item),
               "the item in the window's option box");
}

void write_areas(std::string &out, const char *key, const std::vector<double> &areas,
                 const std::vector<CoreKindRecord> &kinds, const std::string &meaning) {
    std::string line = std::string(key) + " = {";
    for (size_t k = 0; k < std::min(areas.size(), kinds.size()); k++)
        line += (k ? ", " : " ") + toml_string(kinds[k].name) + " = " + toml_number(areas[k]);
    write_line(out, line + " }", meaning);
}

constexpr const char *kHeader =
    R"(# CPU widget chip model, model file format version 1.
#
# Every figure the searches, the window and the command-line tool read. Units: cache sizes in
# MB, areas in mm^2, power in W, bandwidth in GB/s, frequencies in GHz, latencies in ns,
# voltages in V. Numbers are written so that they read back exactly.
#
# A file that changes a few figures of the built-in model gives only those, for example:
#   format_version = 1
#   extends = "built-in"
#   [constants]
#   parallel_fraction = 0.95
# There, a [[workload]], [[core_kind]] or [[node]] whose name matches an existing entry
# (ignoring case) changes only the fields it gives; another name adds an entry, which must give
# every field (window_item may be left out: it is then the name). The order of the entries is
# the order of the window's option boxes. A [[node]] may say based_on = "20nm" (a node of the
# built-in model or one given before it) and give only the fields that differ; a [[workload]]
# may give its own parallel_fraction in place of the constant.
#
# Each figure's comment says what it is (docs/model.md, "What the built-in figures are"): a
# technology parameter of a process node, a constant calibrated so that the model reproduces a
# reference, a measurement of a workload, an assumption of the model, or a choice of the design
# space. Figures outside the ranges typical of real chips are noted above their field; the
# model uses them as given.

format_version = 1

)";

} // namespace

std::string export_model(const Model &m) {
    std::string out = kHeader;
    const Notes notes{oddities_of(m)};

    out += "[constants]\n";
    write_fields<Model>(out, kConstantFields, m, "constants", "", notes);
    const std::string start = m.start_node >= 0 && size_t(m.start_node) < m.nodes.size()
                                  ? m.nodes[size_t(m.start_node)].name
                                  : std::string();
    write_line(out, "start_node = " + toml_string(start),
               "node selected when the window opens and when no node is given");

    const std::string axes = kind_of("axes", "") + ": ";
    out += "\n[axes]\n";
    write_array(out, "core_counts", m.core_counts,
                axes + "core counts of the design space, ascending");
    write_array(out, "cache_sizes_mb", m.cache_sizes,
                axes + "L2 sizes of the design space, MB, ascending");
    write_array(out, "scale_steps", m.scale_steps,
                axes + "targeted supply ratio of each voltage-scale step, above 0 and at most 1");

    const std::string table = kind_of("voltage_frequency", "") + ": ";
    out += "\n[voltage_frequency]\n";
    write_array(out, "vdd_ratios", m.vdd_ratios,
                table + "supply ratios of the voltage-to-frequency table");
    write_array(out, "freq_ratios", m.freq_ratios,
                table + "frequency ratio of each of the first 8 supply ratios");
    if (m.frequency_law == FrequencyLaw::AlphaPower) {
        write_line(out, std::string("frequency_law = ") + toml_string(kAlphaPowerLaw),
                   "assumption: f ~ (V - Vth)^alpha / V at the supply applied, not the table");
        notes.write(out, "voltage_frequency", "", "alpha");
        write_line(out, "alpha = " + toml_number(m.alpha),
                   "calibrated constant: the alpha-power law's exponent");
    }

    for (size_t i = 0; i < m.memory_kinds.size(); i++) {
        out += std::string("\n[memory_kinds.") + kMemoryKeys[i] + "]\n";
        write_names(out, m.memory_kinds[i]);
        write_line(out, "description = " + toml_string(m.memory_kinds[i].description),
                   "in one-line summaries");
    }
    for (size_t i = 0; i < m.transistor_kinds.size(); i++) {
        out += std::string("\n[transistor_kinds.") + kTransistorKeys[i] + "]\n";
        write_names(out, m.transistor_kinds[i]);
    }

    out += "\n# The chip every power figure is scaled from: its measured power terms.\n"
           "[reference_chip]\n";
    write_fields<ReferenceChip>(out, kReferenceFields, m.reference, "reference_chip", "", notes);
    out += "\n# The 3D-stacked memory.\n[memory_stack]\n";
    write_fields<MemoryStack>(out, kStackFields, m.stack, "memory_stack", "", notes);

    for (const WorkloadRecord &w : m.workloads) {
        out += "\n[[workload]]\n";
        write_names(out, w);
        write_fields<WorkloadRecord>(out, kWorkloadFields, w, "workload", w.name, notes);
        if (w.parallel_fraction)
            write_line(out, "parallel_fraction = " + toml_number(*w.parallel_fraction),
                       "assumption: this workload's own share of parallel work, in place of "
                       "constants.parallel_fraction, 0 to 1");
    }
    for (const CoreKindRecord &k : m.core_kinds) {
        out += "\n[[core_kind]]\n";
        write_names(out, k);
        write_fields<CoreKindRecord>(out, kCoreKindFields, k, "core_kind", k.name, notes);
    }
    // Every node in full, a node read with based_on included: the file stands on its own.
    const std::string technology = kind_of("node", "") + ": ";
    for (const NodeRecord &n : m.nodes) {
        out += "\n[[node]]\n";
        write_names(out, n);
        write_fields<TranTechRecord>(out, kNodeFields, n.tech, "node", n.name, notes);
        // Only when given: a model without an uncore exports as it always has.
        for (const Field<NodeRecord> &f : kNodeUncoreFields)
            if (n.*f.member != 0) {
                notes.write(out, "node", n.name, f.key);
                write_line(out, std::string(f.key) + " = " + toml_number(n.*f.member),
                           "assumption: " + std::string(f.meaning));
            }
        notes.write(out, "node", n.name, "core_area_HP_mm2");
        write_areas(out, "core_area_HP_mm2", n.core_area_HP, m.core_kinds,
                    technology + "mm^2 per HP core, by core kind");
        notes.write(out, "node", n.name, "core_area_LOP_mm2");
        write_areas(out, "core_area_LOP_mm2", n.core_area_LOP, m.core_kinds,
                    technology + "mm^2 per LOP core, by core kind");
        notes.write(out, "node", n.name, "l2_latency_HP_ns");
        write_array(out, "l2_latency_HP_ns", n.l2_latency_HP,
                    technology + "HP L2 latency, ns, by cache size");
        notes.write(out, "node", n.name, "l2_latency_LOP_ns");
        write_array(out, "l2_latency_LOP_ns", n.l2_latency_LOP,
                    technology + "LOP L2 latency, ns, by cache size");
    }
    return out;
}
