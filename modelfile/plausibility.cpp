#include "modelfile/plausibility.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

#include "modelfile/fields.h"
#include "modelfile/model_file.h"
#include "modelfile/reader.h"
#include "modelfile/text.h"

namespace model_file_detail {

namespace {

// A typical range; a bound left out is NaN. `unit` follows the numbers in the texts.
struct Typical {
    double low, high;
    bool low_open; // above low (a size that must be positive), not from it
    const char *unit;
};

std::string with_unit(double value, const char *unit) {
    return shortest(value) + (*unit ? std::string(" ") + unit : std::string());
}

std::string typical_text(const Typical &t) {
    if (std::isnan(t.high))
        return std::string(t.low_open ? "above " : "at least ") + with_unit(t.low, t.unit);
    if (std::isnan(t.low))
        return "below " + with_unit(t.high, t.unit);
    return (t.low_open ? "above " + shortest(t.low) + " and up to " : shortest(t.low) + " to ") +
           with_unit(t.high, t.unit);
}

// A range with no low end is open at its high one ("below 0").
bool within(const Typical &t, double v) {
    if (std::isnan(t.low))
        return v < t.high;
    return (t.low_open ? v > t.low : v >= t.low) && (std::isnan(t.high) || v <= t.high);
}

// The typical ranges, by section and field (docs/model.md lists them). A field ending in "_*"
// stands for its HP and LOP fields.
struct TypicalRange {
    const char *section, *key;
    Typical range;
};

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr Typical kSupply{0.3, 2, false, "V"};
constexpr Typical kClock{0.1, 10, false, "GHz"};
constexpr Typical kThreshold{0.1, 0.6, false, "V"};
constexpr Typical kLeakage{0.001, 10, false, "uA per um"};
constexpr Typical kGate{1, 250, false, "nm"};
constexpr Typical kCapacitance{0.1, 5, false, ""};
constexpr Typical kPositiveSize{0, kNone, true, ""};
constexpr Typical kYear{1970, 2040, false, ""};

const TypicalRange kTypicalRanges[] = {
    {"constants", "working_set_growth", {1, 2, false, "per year"}},
    {"constants", "base_year", kYear},
    {"workload", "cpi", {0.1, 20, false, ""}},
    {"workload", "l2_access_rate", {0, 1, false, "per instruction"}},
    {"workload", "miss_gamma", {kNone, 0, false, ""}},
    {"core_kind", "ref_Vdd", kSupply},
    {"core_kind", "ref_freq", kClock},
    {"reference_chip", "Vdd", kSupply},
    {"reference_chip", "freq", kClock},
    {"reference_chip", "Ileak", kLeakage},
    {"reference_chip", "Lgate", kGate},
    {"reference_chip", "Cgate", kCapacitance},
    {"node", "node_nm", {1, 250, false, "nm"}},
    {"node", "year", kYear},
    {"node", "fmax_*", kClock},
    {"node", "Vdd_*", kSupply},
    {"node", "Vth_*", kThreshold},
    {"node", "Ileak_*", kLeakage},
    {"node", "Lgate_*", kGate},
    {"node", "Wgate_*", {1, 1000, false, "nm"}},
    {"node", "Cgate_*", kCapacitance},
    {"node", "density_*", kPositiveSize},
    {"node", "L2_area_*", {0, kNone, true, "mm^2"}},
    {"node", "area_budget", {0, 1000, true, "mm^2"}},
    {"node", "power_budget", {0, 1000, true, "W"}},
    {"node", "bw_offchip", {0, kNone, true, "GB/s"}},
    {"node", "bw_tsv", {0, kNone, true, "GB/s"}},
    {"node", "mem_data_rate", kPositiveSize},
    {"node", "mem_latency", {10, 500, false, "ns"}},
    {"node", "uncore_area_mm2", {0, 600, false, "mm^2"}},
    {"node", "uncore_power_W", {0, 300, false, "W"}},
    {"voltage_frequency", "alpha", {1, 2, false, ""}},
};
constexpr Typical kCoreArea{0, 1000, true, "mm^2"};
constexpr Typical kLatency{0, 100, true, "ns"};

const Typical *typical_of(std::string_view section, std::string_view key) {
    for (const TypicalRange &r : kTypicalRanges) {
        const std::string_view k = r.key;
        if (r.section != section)
            continue;
        if (!k.ends_with("_*") ? k == key
                               : key == std::string(k.substr(0, k.size() - 1)) + "HP" ||
                                     key == std::string(k.substr(0, k.size() - 1)) + "LOP")
            return &r.range;
    }
    return nullptr;
}

template <class R>
void judge_fields(std::vector<Oddity> &out, std::span<const Field<R>> fields, const R &record,
                  const std::string &section, const std::string &entry) {
    for (const Field<R> &f : fields) {
        const Typical *t = typical_of(section, f.key);
        const double v = record.*f.member;
        if (t && !within(*t, v))
            out.push_back(Oddity{section,
                                 entry,
                                 f.key,
                                 "",
                                 -1,
                                 with_unit(v, t->unit) + " is outside the typical range",
                                 typical_text(*t),
                                 {v}});
    }
}

// A latency row: each latency typical, and none below the one of the next smaller cache.
void judge_row(std::vector<Oddity> &out, const Model &m, const NodeRecord &n, const char *key,
               const std::array<double, kCacheSizes> &row) {
    const std::vector<double> values(row.begin(), row.end());
    for (size_t i = 0; i < row.size(); i++)
        if (!within(kLatency, row[i])) {
            out.push_back(Oddity{"node", n.name, key, "", int(i),
                                 with_unit(row[i], "ns") + " at " + shortest(m.cache_sizes[i]) +
                                     " MB is outside the typical range",
                                 "each latency " + typical_text(kLatency), values});
            return;
        }
    int drops = 0, first = 0, largest = 0;
    for (size_t i = 1; i < row.size(); i++)
        if (row[i] < row[i - 1]) {
            first = drops++ == 0 ? int(i) : first;
            if (largest == 0 || row[i - 1] - row[i] > row[largest - 1] - row[largest])
                largest = int(i);
        }
    if (drops == 0)
        return;
    auto drop = [&](int i) {
        return shortest(row[size_t(i) - 1]) + " ns at " + shortest(m.cache_sizes[size_t(i) - 1]) +
               " MB to " + shortest(row[size_t(i)]) + " ns at " +
               shortest(m.cache_sizes[size_t(i)]) + " MB";
    };
    std::string problem = "falls as the cache grows " + std::to_string(drops) +
                          (drops == 1 ? " time: " : " times, first ") + drop(first);
    if (largest != first)
        problem += ", most " + drop(largest);
    out.push_back(Oddity{"node", n.name, key, "", first, problem,
                         "latencies that do not fall as the cache grows", values});
}

bool same_place(const Oddity &a, const Oddity &b) {
    return a.section == b.section && same_name(a.entry, b.entry) && a.key == b.key &&
           same_name(a.kind, b.kind);
}

// Bit for bit (the web build's library has no std::bit_cast).
bool same_values(const std::vector<double> &a, const std::vector<double> &b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Where the file gives the field of an oddity, or null when it does not give it.
const toml::node *given_in(const toml::table &root, const Oddity &o) {
    const toml::node *section = root.get(o.section);
    const toml::table *table = section ? section->as_table() : nullptr;
    if (!o.entry.empty()) {
        table = nullptr;
        if (const toml::array *entries = section ? section->as_array() : nullptr)
            for (const toml::node &e : *entries) {
                const toml::table *t = e.as_table();
                const toml::node *name = t ? t->get("name") : nullptr;
                if (name && name->is_string() && same_name(name->as_string()->get(), o.entry))
                    table = t;
            }
    }
    const toml::node *field = table ? table->get(o.key) : nullptr;
    if (field && !o.kind.empty()) {
        const toml::table *areas = field->as_table();
        field = nullptr;
        if (areas)
            for (auto &&[kind, area] : *areas)
                if (same_name(kind.str(), o.kind))
                    field = &area;
    }
    if (field && o.element >= 0) {
        const toml::array *row = field->as_array();
        field = row && size_t(o.element) < row->size() ? row->get(size_t(o.element)) : nullptr;
    }
    return field;
}

} // namespace

std::vector<Oddity> oddities_of(const Model &m) {
    std::vector<Oddity> out;
    judge_fields<Model>(out, kConstantFields, m, "constants", "");
    if (m.frequency_law == FrequencyLaw::AlphaPower) {
        const Typical &t = *typical_of("voltage_frequency", "alpha");
        if (!within(t, m.alpha))
            out.push_back(Oddity{"voltage_frequency",
                                 "",
                                 "alpha",
                                 "",
                                 -1,
                                 shortest(m.alpha) + " is outside the typical range",
                                 typical_text(t),
                                 {m.alpha}});
    }
    judge_fields<ReferenceChip>(out, kReferenceFields, m.reference, "reference_chip", "");
    for (const WorkloadRecord &w : m.workloads)
        judge_fields<WorkloadRecord>(out, kWorkloadFields, w, "workload", w.name);
    for (const CoreKindRecord &k : m.core_kinds)
        judge_fields<CoreKindRecord>(out, kCoreKindFields, k, "core_kind", k.name);
    for (const NodeRecord &n : m.nodes) {
        const TranTechRecord &t = n.tech;
        const size_t start = out.size();
        judge_fields<TranTechRecord>(out, kNodeFields, t, "node", n.name);
        judge_fields<NodeRecord>(out, kNodeUncoreFields, n, "node", n.name);
        // A threshold at or above its supply, a lowest supply above the nominal one: said
        // instead of any range of the same field.
        struct Below {
            const char *key;
            double value;
            const char *supply_key;
            double supply;
        };
        for (const Below &b : {Below{"Vth_HP", t.Vth_HP, "Vdd_HP", t.Vdd_HP},
                               Below{"Vth_LOP", t.Vth_LOP, "Vdd_LOP", t.Vdd_LOP},
                               Below{"Vdd_min_HP", t.Vdd_min_HP, "Vdd_HP", t.Vdd_HP}}) {
            if (b.value < b.supply)
                continue;
            Oddity odd{"node",
                       n.name,
                       b.key,
                       "",
                       -1,
                       with_unit(b.value, "V") + " is not below the supply " + b.supply_key + ", " +
                           with_unit(b.supply, "V"),
                       std::string("below ") + b.supply_key,
                       {b.value, b.supply}};
            auto same = std::find_if(out.begin() + std::ptrdiff_t(start), out.end(),
                                     [&b](const Oddity &o) { return o.key == b.key; });
            if (same != out.end())
                *same = odd;
            else
                out.push_back(odd);
        }
        for (size_t k = 0; k < m.core_kinds.size(); k++)
            for (const auto &[key, areas] : {std::pair<const char *, const std::vector<double> *>{
                                                 "core_area_HP_mm2", &n.core_area_HP},
                                             {"core_area_LOP_mm2", &n.core_area_LOP}})
                if (k < areas->size() && !within(kCoreArea, (*areas)[k]))
                    out.push_back(
                        Oddity{"node",
                               n.name,
                               key,
                               m.core_kinds[k].name,
                               -1,
                               with_unit((*areas)[k], "mm^2") + " is outside the typical range",
                               typical_text(kCoreArea),
                               {(*areas)[k]}});
        judge_row(out, m, n, "l2_latency_HP_ns", n.l2_latency_HP);
        judge_row(out, m, n, "l2_latency_LOP_ns", n.l2_latency_LOP);
    }
    return out;
}

// The field as messages name it: constants working_set_growth, node "20nm" Vth_HP,
// node "20nm" core_area_HP_mm2 "ARM", node "20nm" l2_latency_HP_ns[3].
std::string field_text(const Oddity &o) {
    // Appended piece by piece (a chain of + trips a false -Wrestrict warning of GCC 12).
    std::string text = o.section;
    if (!o.entry.empty())
        text.append(" ").append(in_quotes(o.entry));
    text.append(" ").append(o.key);
    if (!o.kind.empty())
        text.append(" ").append(in_quotes(o.kind));
    if (o.element >= 0)
        text.append("[").append(std::to_string(o.element)).append("]");
    return text;
}

std::vector<std::string> warnings_of(const toml::table &root, const Model &m, const Model &extended,
                                     const std::vector<std::pair<std::string, NodeRecord>> &bases,
                                     const std::string &source) {
    Model reference = extended;
    for (const auto &[name, base] : bases) {
        NodeRecord node = base;
        node.name = name;
        const int at = index_of(reference.nodes, name);
        if (at >= 0)
            reference.nodes[size_t(at)] = node;
        else
            reference.nodes.push_back(node);
    }
    const std::vector<Oddity> known = oddities_of(reference);
    std::vector<std::pair<int, std::string>> lines;
    for (const Oddity &o : oddities_of(m)) {
        const toml::node *given = given_in(root, o);
        // A node's figure is known when any node of the model extended holds it bit for bit:
        // an exported node that was based on another carries its base's figures in full.
        if (!given || std::any_of(known.begin(), known.end(), [&](const Oddity &k) {
                const bool place = o.section == "node" ? k.section == o.section && k.key == o.key &&
                                                             same_name(k.kind, o.kind)
                                                       : same_place(k, o);
                return place && same_values(k.values, o.values);
            }))
            continue;
        const int at = line_of(*given);
        std::string line = source + ":" + std::to_string(at) + ": " + field_text(o) + ": " +
                           o.problem + "; typical: " + o.typical;
        for (char &c : line)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
        lines.emplace_back(at, line);
    }
    // In the order of the file.
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::string> warnings;
    for (auto &line : lines)
        warnings.push_back(std::move(line.second));
    return warnings;
}

} // namespace model_file_detail

std::vector<std::string> implausible_figures(const Model &m) {
    using namespace model_file_detail;
    std::vector<std::string> out;
    for (const Oddity &o : oddities_of(m))
        out.push_back(field_text(o) + ": " + o.problem + "; typical: " + o.typical);
    return out;
}
