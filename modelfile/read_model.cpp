#include "modelfile/reader.h"

namespace model_file_detail {

void Reader::read_frequency_law(const toml::table &t, Model &m) {
    const std::string accepted =
        std::string("\"") + kTableLaw + "\" or \"" + kAlphaPowerLaw + "\" (which needs alpha)";
    int law_line = line_of(t);
    if (const toml::node *law = t.get("frequency_law")) {
        const std::optional<std::string> name = law->value<std::string>();
        law_line = line_of(*law);
        if (name == kTableLaw)
            m.frequency_law = FrequencyLaw::Table;
        else if (name == kAlphaPowerLaw)
            m.frequency_law = FrequencyLaw::AlphaPower;
        else
            fail(law_line, "voltage_frequency frequency_law",
                 (name ? in_quotes(*name) : type_name(*law)) + " is not accepted", accepted);
    }
    if (const toml::node *alpha = t.get("alpha"))
        if (auto value = number(*alpha, "voltage_frequency alpha", kExponent))
            m.alpha = *value;
    if (m.frequency_law == FrequencyLaw::AlphaPower && !(m.alpha > 0))
        missing(law_line, "voltage_frequency alpha",
                std::string("the alpha-power law's exponent: ") + kExponent.text);
}

void Reader::tie_latencies_to_sizes(Model &m, const std::vector<std::array<bool, 2>> &rows_given,
                                    int axis_line) {
    const std::array<double, kCacheSizes> &old_sizes = extended().cache_sizes;
    if (std::equal(old_sizes.begin(), old_sizes.end(), m.cache_sizes.begin()))
        return;
    // Each size keeps the latency the model extended gives it; a size it has none for is
    // missing, never given the latency of another size that sat at its position.
    std::vector<double> missing;
    std::string rows;
    for (size_t n = 0; n < m.nodes.size(); n++)
        for (int r = 0; r < 2; r++) {
            if (n < rows_given.size() && rows_given[n][size_t(r)])
                continue;
            std::array<double, kCacheSizes> &row =
                r == 0 ? m.nodes[n].l2_latency_HP : m.nodes[n].l2_latency_LOP;
            const std::array<double, kCacheSizes> old_row = row;
            bool lacks = false;
            for (size_t j = 0; j < kCacheSizes; j++) {
                const auto at = std::find(old_sizes.begin(), old_sizes.end(), m.cache_sizes[j]);
                if (at != old_sizes.end()) {
                    row[j] = old_row[size_t(at - old_sizes.begin())];
                } else {
                    lacks = true;
                    if (std::find(missing.begin(), missing.end(), m.cache_sizes[j]) ==
                        missing.end())
                        missing.push_back(m.cache_sizes[j]);
                }
            }
            if (lacks)
                rows += (rows.empty() ? "" : ", ") + in_quotes(m.nodes[n].name) +
                        (r == 0 ? " l2_latency_HP_ns" : " l2_latency_LOP_ns");
        }
    if (missing.empty())
        return;
    std::string sizes;
    for (size_t i = 0; i < missing.size() && i < 8; i++)
        sizes += (i ? ", " : "") + shortest(missing[i]);
    if (missing.size() > 8)
        sizes += " and " + std::to_string(missing.size() - 8) + " more";
    fail(axis_line, "axes cache_sizes_mb",
         sizes + " MB have no L2 latency in the rows of node " + rows +
             ", which the model extended gives for its own sizes",
         "sizes the model extended has latencies for, or l2_latency_HP_ns and l2_latency_LOP_ns "
         "rows for the new sizes in every node");
}

void Reader::read_model(const toml::table &root, Model &m) {
    const toml::node *version = root.get("format_version");
    if (!version) {
        fail(1, "format_version", "the field is missing", "format_version = 1");
    } else if (!version->is_integer() || version->as_integer()->get() != kModelFormatVersion) {
        fail(line_of(*version), "format_version",
             version->is_integer()
                 ? "version " + std::to_string(version->as_integer()->get()) + " is not accepted"
                 : type_name(*version) + " is not accepted",
             "1 (this program reads version 1)");
        return; // the rest of another version's file means something else
    }

    // extends names the built-in model or a file, which the caller has loaded (set_base).
    bool overlay = false;
    if (const toml::node *extends = root.get("extends")) {
        const std::optional<std::string> name = extends->value<std::string>();
        overlay = name && (*name == "built-in" || base_);
        if (!overlay) {
            fail(line_of(*extends), "extends",
                 (name ? in_quotes(*name) : type_name(*extends)) + " is not accepted",
                 kExtendsAccepted);
            return;
        }
    }
    m = overlay ? extended() : Model{};
    const bool complete = !overlay;

    check_keys(root, "",
               {"format_version", "extends", "constants", "axes", "voltage_frequency",
                "memory_kinds", "transistor_kinds", "reference_chip", "memory_stack", "workload",
                "core_kind", "node"},
               "unknown section");

    const toml::node *start_node = nullptr;
    int cache_axis_line = 1;
    if (const toml::table *t = section(root, "constants", complete)) {
        check_keys(*t, "constants", keys_of<Model>(kConstantFields, {"start_node"}),
                   "unknown field");
        read_numbers<Model>(*t, "constants", kConstantFields, m, complete);
        start_node = t->get("start_node");
        if (!start_node && complete)
            missing(line_of(*t), "constants start_node", "the name of a node");
    }
    if (const toml::table *t = section(root, "axes", complete)) {
        check_keys(*t, "axes", {"core_counts", "cache_sizes_mb", "scale_steps"}, "unknown field");
        read_array(*t, "axes", "core_counts", m.core_counts, kAxisValue, Order::Ascending,
                   complete);
        read_array(*t, "axes", "cache_sizes_mb", m.cache_sizes, kAxisValue, Order::Ascending,
                   complete);
        if (const toml::node *sizes = t->get("cache_sizes_mb"))
            cache_axis_line = line_of(*sizes);
        read_array(*t, "axes", "scale_steps", m.scale_steps, kRatio, Order::Distinct, complete);
    }
    if (const toml::table *t = section(root, "voltage_frequency", complete)) {
        check_keys(*t, "voltage_frequency", {"vdd_ratios", "freq_ratios", "frequency_law", "alpha"},
                   "unknown field");
        read_array(*t, "voltage_frequency", "vdd_ratios", m.vdd_ratios, kFraction, Order::Any,
                   complete);
        read_array(*t, "voltage_frequency", "freq_ratios", m.freq_ratios, kRatio, Order::Any,
                   complete);
        read_frequency_law(*t, m);
    }
    read_fixed_kinds<MemoryKindName>(root, "memory_kinds", kMemoryKeys, m.memory_kinds, complete);
    read_fixed_kinds<OptionName>(root, "transistor_kinds", kTransistorKeys, m.transistor_kinds,
                                 complete);
    if (const toml::table *t = section(root, "reference_chip", complete)) {
        check_keys(*t, "reference_chip", keys_of<ReferenceChip>(kReferenceFields, {}),
                   "unknown field");
        read_numbers<ReferenceChip>(*t, "reference_chip", kReferenceFields, m.reference, complete);
    }
    if (const toml::table *t = section(root, "memory_stack", complete)) {
        check_keys(*t, "memory_stack", keys_of<MemoryStack>(kStackFields, {}), "unknown field");
        read_numbers<MemoryStack>(*t, "memory_stack", kStackFields, m.stack, complete);
    }

    read_entries(
        root, "workload", m.workloads,
        [&](const toml::table &t, const std::string &where, WorkloadRecord &w, bool whole) {
            check_keys(t, where,
                       keys_of<WorkloadRecord>(kWorkloadFields,
                                               {"name", "window_item", "parallel_fraction"}),
                       "unknown field");
            read_numbers<WorkloadRecord>(t, where, kWorkloadFields, w, whole);
            // Optional: the model's parallel fraction stands for a workload without its own.
            if (const toml::node *own = t.get("parallel_fraction"))
                if (auto value = number(*own, where + " parallel_fraction", kFraction))
                    w.parallel_fraction = *value;
        });
    const std::vector<int> kind_lines = read_entries(
        root, "core_kind", m.core_kinds,
        [&](const toml::table &t, const std::string &where, CoreKindRecord &k, bool whole) {
            check_keys(t, where, keys_of<CoreKindRecord>(kCoreKindFields, {"name", "window_item"}),
                       "unknown field");
            read_numbers<CoreKindRecord>(t, where, kCoreKindFields, k, whole);
        });

    // Every node needs an area for every core kind, the ones this file adds included.
    const size_t kinds = m.core_kinds.size();
    for (NodeRecord &n : m.nodes) {
        n.core_area_HP.resize(kinds, NAN);
        n.core_area_LOP.resize(kinds, NAN);
    }
    // Which latency rows (HP, LOP) of each node are given for this file's cache axis; the others
    // are the model extended's, given for its axis.
    std::vector<std::array<bool, 2>> rows_given(m.nodes.size(), {complete, complete});
    const std::vector<int> node_lines = read_entries(
        root, "node", m.nodes,
        [&](const toml::table &t, const std::string &where, NodeRecord &n, bool whole) {
            check_keys(t, where,
                       keys_of<TranTechRecord>(
                           kNodeFields, {"name", "window_item", "based_on", "uncore_area_mm2",
                                         "uncore_power_W", "core_area_HP_mm2", "core_area_LOP_mm2",
                                         "l2_latency_HP_ns", "l2_latency_LOP_ns"}),
                       "unknown field");
            // A node based on another starts from that node's figures (as they stand at this
            // point of the file) and gives only what differs.
            int based_on_index = -1;
            if (const toml::node *based_on = t.get("based_on")) {
                whole = false;
                bool based = false;
                if (auto base_name = text(*based_on, where + " based_on", TextRule::Name)) {
                    const int base = index_of(m.nodes, *base_name);
                    std::string others;
                    for (const NodeRecord &other : m.nodes)
                        if (&other != &n)
                            others += (others.empty() ? "" : ", ") + in_quotes(other.name);
                    if (base < 0 || &m.nodes[size_t(base)] == &n) {
                        fail(line_of(*based_on), where + " based_on",
                             in_quotes(*base_name) +
                                 (base < 0 ? " names no node" : " names this node itself"),
                             "the name of a node of the model it extends or of one given "
                             "before it in the file: " +
                                 others);
                    } else {
                        const NodeRecord &from = m.nodes[size_t(base)];
                        n.tech = from.tech;
                        n.core_area_HP = from.core_area_HP;
                        n.core_area_LOP = from.core_area_LOP;
                        n.l2_latency_HP = from.l2_latency_HP;
                        n.l2_latency_LOP = from.l2_latency_LOP;
                        n.uncore_area_mm2 = from.uncore_area_mm2;
                        n.uncore_power_W = from.uncore_power_W;
                        bases_.emplace_back(n.name, from);
                        based = true;
                        based_on_index = base;
                    }
                }
                // A based_on refused (malformed or naming no node) is one message: none per
                // area the base would have given as well.
                if (!based) {
                    n.core_area_HP.assign(kinds, 0.0);
                    n.core_area_LOP.assign(kinds, 0.0);
                }
            }
            read_numbers<TranTechRecord>(t, where, kNodeFields, n.tech, whole);
            n.core_area_HP.resize(kinds, NAN);
            n.core_area_LOP.resize(kinds, NAN);
            read_areas(t, where, "core_area_HP_mm2", n.core_area_HP, m.core_kinds, whole);
            read_areas(t, where, "core_area_LOP_mm2", n.core_area_LOP, m.core_kinds, whole);
            // Optional: 0 (no uncore) unless given or based on a node that has one.
            for (const Field<NodeRecord> &f : kNodeUncoreFields)
                if (const toml::node *given = t.get(f.key))
                    if (auto value = number(*given, where + " " + f.key, *f.range))
                        n.*f.member = *value;
            read_array(t, where, "l2_latency_HP_ns", n.l2_latency_HP, kNonNegative, Order::Any,
                       whole);
            read_array(t, where, "l2_latency_LOP_ns", n.l2_latency_LOP, kNonNegative, Order::Any,
                       whole);
            const size_t at = size_t(&n - m.nodes.data());
            rows_given.resize(m.nodes.size(), {complete, complete});
            if (based_on_index >= 0)
                rows_given[at] = rows_given[size_t(based_on_index)];
            rows_given[at][0] = rows_given[at][0] || t.get("l2_latency_HP_ns") != nullptr;
            rows_given[at][1] = rows_given[at][1] || t.get("l2_latency_LOP_ns") != nullptr;
        });
    if (overlay)
        tie_latencies_to_sizes(m, rows_given, cache_axis_line);
    for (size_t n = 0; n < m.nodes.size(); n++) {
        const NodeRecord &node = m.nodes[n];
        for (size_t k = 0; k < kinds; k++) {
            const int line = std::max(1, node_lines[n] ? node_lines[n] : kind_lines[k]);
            const std::pair<const char *, const std::vector<double> *> tables[] = {
                {"core_area_HP_mm2", &node.core_area_HP},
                {"core_area_LOP_mm2", &node.core_area_LOP}};
            for (auto [key, areas] : tables)
                if (std::isnan((*areas)[k]))
                    fail(line, "node " + in_quotes(node.name) + " " + key,
                         "no area for core kind " + in_quotes(m.core_kinds[k].name),
                         "an area in mm^2 for every core kind");
        }
    }

    if (start_node) {
        if (auto name = text(*start_node, "constants start_node", TextRule::Name)) {
            const int index = index_of(m.nodes, *name);
            if (index >= 0)
                m.start_node = index;
            else if (!m.nodes.empty())
                fail(line_of(*start_node), "constants start_node",
                     in_quotes(*name) + " names no node", "one of " + names_of(m.nodes));
        }
    }
}

} // namespace model_file_detail
