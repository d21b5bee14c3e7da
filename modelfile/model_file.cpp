#include "modelfile/model_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <optional>
#include <span>

#include <toml++/toml.h>

namespace {

constexpr size_t kMaxEntries = 100;  // workloads, core kinds or nodes
constexpr size_t kMaxTextBytes = 80; // names, window items, descriptions
constexpr size_t kMaxMessages = 100; // messages listed for one file
// The TOML reader builds a table per segment of a dotted key and nests values as deep as the
// file does; both are bounded before it runs so that no file can exhaust the stack.
constexpr int kMaxKeySegments = 16;
constexpr int kMaxNesting = 32;
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------------------------
// Text

std::string shortest(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

// A number as TOML reads it back to the same double: a whole number without a point reads as
// an integer, which is exact below 2^53; other whole numbers and -0 get a ".0".
std::string toml_number(double value) {
    std::string text = shortest(value);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos &&
        (std::fabs(value) >= 0x1p53 || (value == 0 && std::signbit(value))))
        text += ".0";
    return text;
}

bool is_control(std::string_view text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // C0, DEL, and C1 (U+0080 to U+009F, encoded C2 80 to C2 9F).
    return c < 0x20 || c == 0x7f ||
           (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9f);
}

bool has_control(std::string_view text) {
    for (size_t i = 0; i < text.size(); i++)
        if (is_control(text, i))
            return true;
    return false;
}

std::string hex_escape(unsigned char c) {
    char text[8];
    snprintf(text, sizeof text, "\\x%02x", c);
    return text;
}

// A text in double quotes for a message, control bytes escaped, cut after 40 bytes.
std::string in_quotes(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); i++) {
        if (i >= 40 && (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80) {
            out += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f)
            out += hex_escape(c);
        else if (c == '"' || c == '\\')
            out += {'\\', static_cast<char>(c)};
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

// A text as a TOML basic string.
std::string toml_string(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c == '"' || c == '\\') {
            out += {'\\', ch};
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

bool same_name(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

template <class R> int index_of(const std::vector<R> &list, std::string_view name) {
    for (size_t i = 0; i < list.size(); i++)
        if (same_name(list[i].name, name))
            return static_cast<int>(i);
    return -1;
}

template <class R> std::string names_of(const std::vector<R> &list) {
    std::string text;
    for (const R &r : list)
        text += (text.empty() ? "" : ", ") + in_quotes(r.name);
    return text;
}

// ---------------------------------------------------------------------------------------------
// What each field accepts

struct Range {
    double low, high;
    bool low_open, high_open;
    bool whole;
    const char *text;

    bool admits(double v) const {
        return std::isfinite(v) && (low_open ? v > low : v >= low) &&
               (high_open ? v < high : v <= high) && (!whole || v == std::floor(v));
    }
};

constexpr Range kAnyNumber{-kInf, kInf, false, false, false, "a finite number"};
constexpr Range kPositive{0, kInf, true, false, false, "a finite number above 0"};
constexpr Range kNonNegative{0, kInf, false, false, false, "a finite number of 0 or more"};
constexpr Range kFraction{0, 1, false, false, false, "a number from 0 to 1"};
constexpr Range kBelowOne{0, 1, false, true, false, "a number from 0 up to but not including 1"};
constexpr Range kRatio{0, 1, true, false, false, "a number above 0 and at most 1"};
constexpr Range kAxisValue{1, 1 << 20, false, false, true, "a whole number from 1 to 1048576"};
constexpr Range kLayers{2, 1024, false, false, true, "a whole number from 2 to 1024"};

constexpr const char *kNameAccepted =
    "1 to 80 bytes of text, no control character, no space at either end";
constexpr const char *kLabelAccepted = "at most 80 bytes of text, no control character";
constexpr const char *kUniqueAccepted = "names that differ from each other, ignoring case";

template <class R> struct Field {
    const char *key;
    double R::*member;
    const Range *range;
    const char *meaning; // the comment of an exported file
};

const Field<Model> kConstantFields[] = {
    {"parallel_fraction", &Model::parallel_fraction, &kFraction,
     "share of the work that runs in parallel (Amdahl's law), 0 to 1, of every workload "
     "without its own"},
    {"working_set_growth", &Model::working_set_growth, &kPositive,
     "yearly growth factor of the workloads' working sets"},
    {"base_year", &Model::base_year, &kAnyNumber,
     "year whose working sets the miss-rate curves describe"},
};

const Field<WorkloadRecord> kWorkloadFields[] = {
    {"cpi", &WorkloadRecord::cpi, &kPositive, "cycles per instruction"},
    {"l2_access_rate", &WorkloadRecord::l2_access_rate, &kNonNegative,
     "L2 accesses per instruction"},
    {"latency_hidden", &WorkloadRecord::latency_hidden, &kFraction,
     "fraction of the L2 access latency the core hides, 0 to 1"},
    {"bw_rate", &WorkloadRecord::bw_rate, &kNonNegative,
     "bandwidth factor: GB/s = bw_rate x f / bw_cpi x cores x perf / bw_width x miss / bw_norm"},
    {"bw_cpi", &WorkloadRecord::bw_cpi, &kPositive, "bandwidth divisor"},
    {"bw_width", &WorkloadRecord::bw_width, &kPositive, "bandwidth divisor"},
    {"bw_norm", &WorkloadRecord::bw_norm, &kPositive, "bandwidth divisor"},
    {"miss_alpha", &WorkloadRecord::miss_alpha, &kPositive,
     "miss rate = miss_alpha x (MB / growth^years + miss_beta)^miss_gamma"},
    {"miss_beta", &WorkloadRecord::miss_beta, &kNonNegative, "miss-rate curve offset, MB"},
    {"miss_gamma", &WorkloadRecord::miss_gamma, &kAnyNumber, "miss-rate curve exponent"},
};

const Field<CoreKindRecord> kCoreKindFields[] = {
    {"core_perf", &CoreKindRecord::core_perf, &kPositive,
     "throughput of one core per GHz: 1 at 1 GHz without stalls is a speedup of 1"},
    {"core_power", &CoreKindRecord::core_power, &kNonNegative,
     "dynamic power of one core at ref_Vdd and ref_freq, W"},
    {"ref_Vdd", &CoreKindRecord::ref_Vdd, &kPositive, "supply of core_power, V"},
    {"ref_freq", &CoreKindRecord::ref_freq, &kPositive, "frequency of core_power, GHz"},
    {"uncore_power", &CoreKindRecord::uncore_power, &kNonNegative,
     "shared-logic power at ref_Vdd and ref_freq, once per chip, W"},
    {"reference_uncore_power", &CoreKindRecord::reference_uncore_power, &kNonNegative,
     "reference chip's shared logic added, scaled from its supply and frequency, W"},
};

const Field<TranTechRecord> kNodeFields[] = {
    {"node_nm", &TranTechRecord::node_nm, &kPositive, "feature size, nm"},
    {"year", &TranTechRecord::year, &kAnyNumber, "year of the node"},
    {"mem_data_rate", &TranTechRecord::mem_data_rate, &kNonNegative,
     "memory-interface transfer rate"},
    {"bw_offchip", &TranTechRecord::bw_offchip, &kNonNegative,
     "off-chip bandwidth, GB/s; default bandwidth limit"},
    {"bw_tsv", &TranTechRecord::bw_tsv, &kNonNegative,
     "TSV bandwidth, GB/s; default TSV limit with 3D memory"},
    {"mem_latency", &TranTechRecord::mem_latency, &kNonNegative, "main-memory latency, ns"},
    {"wire_length", &TranTechRecord::wire_length, &kNonNegative,
     "length factor of the round-trip wire delay"},
    {"miss_overhead", &TranTechRecord::miss_overhead, &kNonNegative,
     "extra cycles of an off-chip access"},
    {"wire_delay", &TranTechRecord::wire_delay, &kNonNegative, "wire delay, ps per unit length"},
    {"fmax_HP", &TranTechRecord::fmax_HP, &kPositive, "maximum core frequency, HP, GHz"},
    {"area_budget", &TranTechRecord::area_budget, &kNonNegative,
     "die area budget, mm^2; default area limit"},
    {"L2_area_HP", &TranTechRecord::L2_area_HP, &kNonNegative, "L2 area per MB, HP, mm^2"},
    {"density_HP", &TranTechRecord::density_HP, &kNonNegative,
     "logic transistor density, HP, millions per cm^2"},
    {"Vdd_HP", &TranTechRecord::Vdd_HP, &kPositive, "nominal supply, HP, V"},
    {"Vdd_min_HP", &TranTechRecord::Vdd_min_HP, &kNonNegative,
     "lowest allowed scaled HP supply, V"},
    {"Vth_HP", &TranTechRecord::Vth_HP, &kNonNegative, "threshold voltage, HP, V"},
    {"Ileak_HP", &TranTechRecord::Ileak_HP, &kNonNegative, "leakage current, HP, uA per um"},
    {"Lgate_HP", &TranTechRecord::Lgate_HP, &kNonNegative, "gate length, HP, nm"},
    {"Wgate_HP", &TranTechRecord::Wgate_HP, &kNonNegative, "transistor width, HP, nm"},
    {"Cgate_HP", &TranTechRecord::Cgate_HP, &kNonNegative, "switched-capacitance factor, HP"},
    {"power_budget", &TranTechRecord::power_budget, &kNonNegative,
     "chip power budget, W; default power limit"},
    {"fmax_LOP", &TranTechRecord::fmax_LOP, &kPositive, "maximum core frequency, LOP, GHz"},
    {"L2_area_LOP", &TranTechRecord::L2_area_LOP, &kNonNegative, "L2 area per MB, LOP, mm^2"},
    {"density_LOP", &TranTechRecord::density_LOP, &kNonNegative,
     "logic transistor density, LOP, millions per cm^2"},
    {"Vdd_LOP", &TranTechRecord::Vdd_LOP, &kPositive, "nominal supply, LOP, V"},
    {"Vth_LOP", &TranTechRecord::Vth_LOP, &kNonNegative, "threshold voltage, LOP, V"},
    {"Ileak_LOP", &TranTechRecord::Ileak_LOP, &kNonNegative, "leakage current, LOP, uA per um"},
    {"Lgate_LOP", &TranTechRecord::Lgate_LOP, &kNonNegative, "gate length, LOP, nm"},
    {"Wgate_LOP", &TranTechRecord::Wgate_LOP, &kNonNegative, "transistor width, LOP, nm"},
    {"Cgate_LOP", &TranTechRecord::Cgate_LOP, &kNonNegative, "switched-capacitance factor, LOP"},
};

const Field<ReferenceChip> kReferenceFields[] = {
    {"cores", &ReferenceChip::cores, &kPositive, "core count"},
    {"core_perf", &ReferenceChip::core_perf, &kPositive, "performance of one of its cores"},
    {"Vdd", &ReferenceChip::Vdd, &kPositive, "supply, V"},
    {"freq", &ReferenceChip::freq, &kPositive, "frequency, GHz"},
    {"l2_mb", &ReferenceChip::l2_mb, &kPositive, "L2 size, MB"},
    {"mem_rate", &ReferenceChip::mem_rate, &kPositive, "memory transfer rate"},
    {"icn_power_a", &ReferenceChip::icn_power_a, &kNonNegative,
     "interconnect power growing with sqrt(cores / reference cores), W"},
    {"icn_power_b", &ReferenceChip::icn_power_b, &kNonNegative,
     "second interconnect power growing likewise, W"},
    {"l2_dyn_power", &ReferenceChip::l2_dyn_power, &kNonNegative,
     "L2 switching power not scaled by distance, W"},
    {"l2_leak_power", &ReferenceChip::l2_leak_power, &kNonNegative,
     "leakage of its l2_mb MB L2, W"},
    {"mem_if_power", &ReferenceChip::mem_if_power, &kNonNegative, "memory-interface power, W"},
    {"cpi", &ReferenceChip::cpi, &kPositive,
     "cycles per instruction of the workload its L2 activity was measured on"},
    {"latency_hidden", &ReferenceChip::latency_hidden, &kBelowOne,
     "latency fraction that workload hides, 0 up to but not including 1"},
    {"Cgate", &ReferenceChip::Cgate, &kPositive, "switched-capacitance factor of its transistors"},
    {"Ileak", &ReferenceChip::Ileak, &kPositive, "leakage current of its transistors, uA per um"},
    {"Lgate", &ReferenceChip::Lgate, &kPositive, "gate length of its transistors, nm"},
    {"bw_offchip", &ReferenceChip::bw_offchip, &kPositive, "off-chip bandwidth, GB/s"},
};

const Field<MemoryStack> kStackFields[] = {
    {"ref_node_nm", &MemoryStack::ref_node_nm, &kPositive, "node at which tsv_area is given, nm"},
    {"latency_cut", &MemoryStack::latency_cut, &kFraction,
     "share of the main-memory latency a stack access saves, 0 to 1"},
    {"layer_power", &MemoryStack::layer_power, &kNonNegative, "power of one layer, W"},
    {"layer_capacity", &MemoryStack::layer_capacity, &kPositive,
     "capacity of one memory layer, Gbit"},
    {"layers", &MemoryStack::layers, &kLayers, "layers in the stack; one holds no memory"},
    {"tsv_area", &MemoryStack::tsv_area, &kNonNegative,
     "area of the stack's interface at ref_node_nm, mm^2"},
};

constexpr const char *kMemoryKeys[] = {"plain", "stacked"};
constexpr const char *kTransistorKeys[] = {"LOP", "LOP_HP", "HP"};

enum class Order { Any, Ascending, Distinct };

// ---------------------------------------------------------------------------------------------
// Nesting bound, checked on the raw text

struct TextProblem {
    int line;
    std::string problem;
    const char *accepted;
};

TextProblem problem_at(std::string_view s, size_t at, const std::string &problem,
                       const char *accepted) {
    const std::string_view before = s.substr(0, at);
    const size_t newline = before.rfind('\n');
    const size_t column = at - (newline == std::string_view::npos ? 0 : newline + 1) + 1;
    return TextProblem{1 + static_cast<int>(std::count(before.begin(), before.end(), '\n')),
                       problem + " (column " + std::to_string(column) + ")", accepted};
}

bool is_bare(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// What the TOML reader is not given. It refuses all of it as well, but some of it trips
// faults of its own first: dotted keys and nesting deep enough to exhaust the stack, and a
// non-ASCII character where it looks for white space (outside strings and comments, or after
// a backslash in a multi-line string), which it classifies with undefined behaviour. The text is
// scanned as TOML tokenises it: strings and comments are skipped, and a number, a date or a key of
// a model file stays far below the bounds.
std::optional<TextProblem> text_problem(std::string_view s) {
    for (size_t i = 0; i < s.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f)
            return problem_at(s, i, "control character " + hex_escape(c),
                              "text without control characters but tab and line ends");
    }
    int open = 0, dots = 0;
    size_t i = s.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; // a byte-order mark is allowed
    while (i < s.size()) {
        const char c = s[i];
        if (c == '#') {
            i = std::min(s.find('\n', i), s.size());
        } else if (c == '"' || c == '\'') {
            const bool multi_line = s.substr(i, 3) == std::string(3, c);
            const std::string_view fence = s.substr(i, multi_line ? 3 : 1);
            size_t j = i + fence.size();
            while (j < s.size() && s.substr(j, fence.size()) != fence &&
                   (multi_line || s[j] != '\n')) {
                if (c == '"' && s[j] == '\\') {
                    size_t next = j + 1;
                    while (multi_line && next < s.size() && is_blank(s[next]))
                        next++;
                    if (multi_line && next < s.size() &&
                        static_cast<unsigned char>(s[next]) >= 0x80)
                        return problem_at(s, next, "a non-ASCII character after a backslash",
                                          "an escape sequence after a backslash");
                    j++;
                }
                j++;
            }
            i = j < s.size() && s[j] != '\n' ? j + fence.size() : j;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            return problem_at(s, i, "a non-ASCII character outside a string or comment",
                              "non-ASCII text only in strings and comments");
        } else {
            if (c == '.' && ++dots > kMaxKeySegments)
                return problem_at(s, i, "a dotted key of more than 16 segments",
                                  "keys of at most 16 segments");
            if (c == '[' || c == '{') {
                if (++open > kMaxNesting)
                    return problem_at(s, i, "arrays or tables nested more than 32 deep",
                                      "arrays and inline tables nested at most 32 deep");
            } else if (c == ']' || c == '}') {
                open = std::max(0, open - 1);
            }
            if (!is_bare(c) && c != '.' && c != ' ' && c != '\t')
                dots = 0;
            i++;
        }
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Reading

int line_of(const toml::source_region &where) {
    return where.begin.line > 0 ? static_cast<int>(where.begin.line) : 1;
}
int line_of(const toml::node &node) {
    return line_of(node.source());
}

std::string type_name(const toml::node &node) {
    switch (node.type()) {
    case toml::node_type::string:
        return "a string";
    case toml::node_type::integer:
    case toml::node_type::floating_point:
        return "a number";
    case toml::node_type::boolean:
        return "a boolean";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time:
        return "a date or time";
    case toml::node_type::array:
        return "an array";
    case toml::node_type::table:
        return "a table";
    case toml::node_type::none:
        break;
    }
    return "a value";
}

enum class TextRule { Name, Label };

class Reader {
  public:
    explicit Reader(const std::string &source) : source_(source) {}

    void fail(int line, const std::string &field, const std::string &problem,
              const std::string &accepted) {
        add(source_ + ":" + std::to_string(line) + ": " + field + ": " + problem +
            "; accepted: " + accepted);
    }
    void fail_file(const std::string &problem, const std::string &accepted) {
        add(source_ + ": file: " + problem + "; accepted: " + accepted);
    }

    bool failed() const { return !errors_.empty() || unlisted_ > 0; }
    const std::vector<std::pair<std::string, NodeRecord>> &bases() const { return bases_; }

    std::vector<std::string> take_errors() {
        if (unlisted_ > 0)
            errors_.push_back(source_ + ": " + std::to_string(unlisted_) +
                              " more problems are not listed");
        return std::move(errors_);
    }
    void read_model(const toml::table &root, Model &m);

  private:
    void add(const std::string &message) {
        if (errors_.size() >= kMaxMessages) {
            unlisted_++;
            return;
        }
        // The source name and the TOML reader's words may hold any byte: one line each.
        std::string line;
        for (char c : message)
            line += static_cast<unsigned char>(c) < 0x20 || c == 0x7f
                        ? hex_escape(static_cast<unsigned char>(c))
                        : std::string(1, c);
        errors_.push_back(line);
    }

    void missing(int line, const std::string &field, const std::string &accepted) {
        fail(line, field, "the field is missing", accepted);
    }
    void refuse_type(const toml::node &node, const std::string &field,
                     const std::string &accepted) {
        fail(line_of(node), field, type_name(node) + " is not accepted", accepted);
    }

    std::optional<double> number(const toml::node &node, const std::string &field,
                                 const Range &range) {
        double value;
        if (const auto *i = node.as_integer())
            value = static_cast<double>(i->get());
        else if (const auto *f = node.as_floating_point())
            value = f->get();
        else {
            refuse_type(node, field, range.text);
            return std::nullopt;
        }
        if (!range.admits(value)) {
            fail(line_of(node), field, shortest(value) + " is not accepted", range.text);
            return std::nullopt;
        }
        return value;
    }

    std::optional<std::string> text(const toml::node &node, const std::string &field,
                                    TextRule rule) {
        const std::string accepted = rule == TextRule::Name ? kNameAccepted : kLabelAccepted;
        const auto *given = node.as_string();
        if (!given) {
            refuse_type(node, field, accepted);
            return std::nullopt;
        }
        const std::string &value = given->get();
        std::string problem;
        if (value.size() > kMaxTextBytes)
            problem = "a text of " + std::to_string(value.size()) + " bytes is not accepted";
        else if (has_control(value))
            problem = in_quotes(value) + " has a control character";
        else if (rule == TextRule::Name && value.empty())
            problem = "an empty name is not accepted";
        else if (rule == TextRule::Name && (value.front() == ' ' || value.back() == ' '))
            problem = in_quotes(value) + " has a space at one end";
        if (problem.empty())
            return value;
        fail(line_of(node), field, problem, accepted);
        return std::nullopt;
    }

    // The table under `key`, or null (reported when it is required or is not a table).
    const toml::table *section(const toml::table &root, const char *key, bool required) {
        const toml::node *node = root.get(key);
        const std::string accepted = std::string("the [") + key + "] section";
        if (!node) {
            if (required)
                fail(1, key, "the section is missing", accepted);
            return nullptr;
        }
        if (!node->is_table())
            refuse_type(*node, key, accepted);
        return node->as_table();
    }

    void check_keys(const toml::table &table, const std::string &where,
                    const std::vector<std::string_view> &allowed, const char *problem,
                    char separator = ' ') {
        for (auto &&[key, value] : table) {
            if (std::find(allowed.begin(), allowed.end(), key.str()) != allowed.end())
                continue;
            std::string list;
            for (std::string_view name : allowed)
                list += (list.empty() ? "" : ", ") + std::string(name);
            const std::string_view name = key.str();
            const bool plain = name.size() <= 40 && std::all_of(name.begin(), name.end(), is_bare);
            const std::string field = (where.empty() ? std::string() : where + separator) +
                                      (plain ? std::string(name) : in_quotes(name));
            fail(line_of(key.source()), field, problem, "one of " + list);
        }
    }

    template <class R>
    void read_numbers(const toml::table &table, const std::string &where,
                      std::span<const Field<R>> fields, R &record, bool complete) {
        for (const Field<R> &f : fields) {
            const std::string field = where + " " + f.key;
            if (const toml::node *node = table.get(f.key)) {
                if (auto value = number(*node, field, *f.range))
                    record.*f.member = *value;
            } else if (complete) {
                missing(line_of(table), field, f.range->text);
            }
        }
    }

    // A fixed-length array of numbers; each value within `range`, then in `order`.
    void read_array(const toml::table &table, const std::string &where, const char *key,
                    std::span<double> out, const Range &range, Order order, bool complete) {
        const std::string field = where + " " + key;
        std::string accepted = std::to_string(out.size()) + " values, each " + range.text;
        if (order == Order::Ascending)
            accepted += ", each above the one before";
        else if (order == Order::Distinct)
            accepted += ", all different";
        const toml::node *node = table.get(key);
        if (!node) {
            if (complete)
                missing(line_of(table), field, accepted);
            return;
        }
        const toml::array *array = node->as_array();
        if (!array) {
            refuse_type(*node, field, accepted);
            return;
        }
        if (array->size() != out.size()) {
            fail(line_of(*node), field, std::to_string(array->size()) + " values are not accepted",
                 accepted);
            return;
        }
        bool ok = true;
        for (size_t i = 0; i < out.size(); i++) {
            auto value = number((*array)[i], field + "[" + std::to_string(i) + "]", range);
            ok = ok && value;
            out[i] = value.value_or(0.0);
        }
        for (size_t i = 1; ok && i < out.size(); i++) {
            const std::string element = field + "[" + std::to_string(i) + "]";
            const int line = line_of((*array)[i]);
            if (order == Order::Ascending && !(out[i] > out[i - 1]))
                fail(line, element,
                     shortest(out[i]) + " is not above the value before it, " +
                         shortest(out[i - 1]),
                     "values in ascending order");
            for (size_t j = 0; order == Order::Distinct && j < i; j++)
                if (out[j] == out[i]) {
                    fail(line, element, shortest(out[i]) + " repeats element " + std::to_string(j),
                         "values that differ from each other");
                    break;
                }
        }
    }

    // name and window_item; the window item is the name unless given. Returns the line of
    // the name when the file gives a valid one.
    int read_option_name(const toml::table &table, const std::string &where, OptionName &option,
                         bool complete) {
        int name_line = 0;
        if (const toml::node *node = table.get("name")) {
            if (auto name = text(*node, where + " name", TextRule::Name)) {
                option.name = *name;
                name_line = line_of(*node);
            }
        } else if (complete) {
            missing(line_of(table), where + " name", kNameAccepted);
        }
        if (const toml::node *node = table.get("window_item")) {
            if (auto item = text(*node, where + " window_item", TextRule::Label))
                option.window_item = *item;
        } else if (complete) {
            option.window_item = option.name;
        }
        return name_line;
    }

    // [memory_kinds] and [transistor_kinds]: fixed keys, one option each.
    template <class K>
    void read_fixed_kinds(const toml::table &root, const char *key,
                          std::span<const char *const> keys, std::span<K> kinds, bool complete) {
        const toml::table *t = section(root, key, complete);
        if (!t)
            return;
        check_keys(*t, key, std::vector<std::string_view>(keys.begin(), keys.end()), "unknown kind",
                   '.');
        std::vector<int> name_lines(kinds.size(), 0);
        constexpr bool described = std::is_same_v<K, MemoryKindName>;
        for (size_t i = 0; i < kinds.size(); i++) {
            const std::string where = std::string(key) + "." + keys[i];
            const toml::node *node = t->get(keys[i]);
            if (!node) {
                if (complete)
                    missing(line_of(*t), where, "the [" + where + "] section");
                continue;
            }
            const toml::table *kind = node->as_table();
            if (!kind) {
                refuse_type(*node, where, "the [" + where + "] section");
                continue;
            }
            name_lines[i] = read_option_name(*kind, where, kinds[i], complete);
            std::vector<std::string_view> allowed{"name", "window_item"};
            if constexpr (described) {
                allowed.push_back("description");
                if (const toml::node *d = kind->get("description")) {
                    if (auto description = text(*d, where + " description", TextRule::Label))
                        kinds[i].description = *description;
                } else if (complete) {
                    missing(line_of(*kind), where + " description", kLabelAccepted);
                }
            }
            check_keys(*kind, where, allowed, "unknown field");
        }
        for (size_t i = 1; i < kinds.size(); i++)
            for (size_t j = 0; j < i; j++)
                if ((name_lines[i] || name_lines[j]) && same_name(kinds[i].name, kinds[j].name)) {
                    const size_t later = name_lines[i] >= name_lines[j] ? i : j;
                    fail(name_lines[later], std::string(key) + "." + keys[later] + " name",
                         in_quotes(kinds[later].name) + " is also the name of " + key + "." +
                             keys[later == i ? j : i],
                         kUniqueAccepted);
                }
    }

    // [[workload]], [[core_kind]] or [[node]]: an entry whose name matches one in `list`
    // (ignoring case) changes it, another is appended and must be complete. `read_rest` reads the
    // fields other than name and window_item. Returns the header line of each entry the file gives
    // (0 for the others).
    template <class R, class ReadRest>
    std::vector<int> read_entries(const toml::table &root, const char *key, std::vector<R> &list,
                                  ReadRest read_rest) {
        std::vector<int> lines(list.size(), 0);
        const std::string accepted = std::string("one or more [[") + key + "]] tables";
        const toml::node *node = root.get(key);
        const toml::array *array = node ? node->as_array() : nullptr;
        if (node && !array)
            refuse_type(*node, key, accepted);
        else if (array && array->size() > kMaxEntries)
            fail(line_of(*node), key, std::to_string(array->size()) + " entries are too many",
                 "at most 100 [[" + std::string(key) + "]] tables");
        std::vector<std::string> seen;
        for (size_t i = 0; array && array->size() <= kMaxEntries && i < array->size(); i++) {
            const toml::table *t = (*array)[i].as_table();
            std::string where = std::string(key) + " " + std::to_string(i + 1);
            if (!t) {
                refuse_type((*array)[i], where, "a [[" + std::string(key) + "]] table");
                continue;
            }
            const toml::node *name_node = t->get("name");
            if (!name_node) {
                missing(line_of(*t), where + " name", kNameAccepted);
                continue;
            }
            const std::optional<std::string> name =
                text(*name_node, where + " name", TextRule::Name);
            if (!name)
                continue;
            where = std::string(key) + " " + in_quotes(*name);
            if (std::any_of(seen.begin(), seen.end(),
                            [&](const std::string &s) { return same_name(s, *name); })) {
                fail(line_of(*name_node), where + " name",
                     in_quotes(*name) + " names an earlier entry as well", kUniqueAccepted);
                continue;
            }
            seen.push_back(*name);
            int at = index_of(list, *name);
            const bool added = at < 0;
            if (added) {
                if (list.size() >= kMaxEntries) {
                    fail(line_of(*t), where, "one entry too many",
                         "at most 100 [[" + std::string(key) + "]] entries in all");
                    continue;
                }
                list.push_back(R{});
                lines.push_back(0);
                at = static_cast<int>(list.size()) - 1;
            }
            R &entry = list[at];
            const std::string existing_name = entry.name;
            read_option_name(*t, where, entry, added);
            if (!added)
                entry.name = existing_name; // matched ignoring case: keeps its spelling
            lines[at] = line_of(*t);
            read_rest(*t, where, entry, added);
        }
        if (list.empty())
            fail(node ? line_of(*node) : 1, key, node ? "no entries" : "the section is missing",
                 accepted);
        return lines;
    }

    template <class R>
    static std::vector<std::string_view> keys_of(std::span<const Field<R>> fields,
                                                 std::initializer_list<std::string_view> extra) {
        std::vector<std::string_view> keys(extra);
        for (const Field<R> &f : fields)
            keys.push_back(f.key);
        return keys;
    }

    // A node's core-area table, keyed by core-kind name; areas not given stay NaN.
    void read_areas(const toml::table &table, const std::string &where, const char *key,
                    std::vector<double> &areas, const std::vector<CoreKindRecord> &kinds,
                    bool complete) {
        const std::string field = where + " " + key;
        const std::string accepted =
            "a table of areas in mm^2 keyed by core-kind name, one for each of " + names_of(kinds);
        const toml::node *node = table.get(key);
        if (!node) {
            if (complete) {
                missing(line_of(table), field, accepted);
                std::fill(areas.begin(), areas.end(), 0.0);
            }
            return;
        }
        const toml::table *given = node->as_table();
        if (!given) {
            refuse_type(*node, field, accepted);
            std::fill(areas.begin(), areas.end(), 0.0);
            return;
        }
        std::vector<bool> seen(kinds.size(), false);
        for (auto &&[name, value] : *given) {
            const std::string area_field = field + " " + in_quotes(name.str());
            const int kind = index_of(kinds, name.str());
            if (kind < 0) {
                fail(line_of(name.source()), area_field, "no core kind has this name",
                     "one of " + names_of(kinds));
            } else if (seen[kind]) {
                fail(line_of(name.source()), area_field,
                     "a second area for core kind " + in_quotes(kinds[kind].name),
                     "one area per core kind");
            } else {
                seen[kind] = true;
                areas[kind] = number(value, area_field, kNonNegative).value_or(0.0);
            }
        }
    }

    std::string source_;
    // The nodes read with based_on, each with the figures of its base (by the node's name).
    std::vector<std::pair<std::string, NodeRecord>> bases_;
    std::vector<std::string> errors_;
    size_t unlisted_ = 0;
};

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

    bool overlay = false;
    if (const toml::node *extends = root.get("extends")) {
        overlay = extends->value<std::string>() == "built-in";
        if (!overlay) {
            fail(line_of(*extends), "extends",
                 (extends->is_string() ? in_quotes(extends->as_string()->get())
                                       : type_name(*extends)) +
                     " is not accepted",
                 "\"built-in\", or no extends line for a complete model");
            return;
        }
    }
    m = overlay ? builtin_model() : Model{};
    const bool complete = !overlay;

    check_keys(root, "",
               {"format_version", "extends", "constants", "axes", "voltage_frequency",
                "memory_kinds", "transistor_kinds", "reference_chip", "memory_stack", "workload",
                "core_kind", "node"},
               "unknown section");

    const toml::node *start_node = nullptr;
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
        read_array(*t, "axes", "scale_steps", m.scale_steps, kRatio, Order::Distinct, complete);
    }
    if (const toml::table *t = section(root, "voltage_frequency", complete)) {
        check_keys(*t, "voltage_frequency", {"vdd_ratios", "freq_ratios"}, "unknown field");
        read_array(*t, "voltage_frequency", "vdd_ratios", m.vdd_ratios, kFraction, Order::Any,
                   complete);
        read_array(*t, "voltage_frequency", "freq_ratios", m.freq_ratios, kRatio, Order::Any,
                   complete);
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
    const std::vector<int> node_lines = read_entries(
        root, "node", m.nodes,
        [&](const toml::table &t, const std::string &where, NodeRecord &n, bool whole) {
            check_keys(
                t, where,
                keys_of<TranTechRecord>(kNodeFields, {"name", "window_item", "based_on",
                                                      "core_area_HP_mm2", "core_area_LOP_mm2",
                                                      "l2_latency_HP_ns", "l2_latency_LOP_ns"}),
                "unknown field");
            // A node based on another starts from that node's figures (as they stand at this
            // point of the file) and gives only what differs.
            if (const toml::node *based_on = t.get("based_on")) {
                whole = false;
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
                        // Refused already: no message per missing area as well.
                        n.core_area_HP.assign(kinds, 0.0);
                        n.core_area_LOP.assign(kinds, 0.0);
                    } else {
                        const NodeRecord &from = m.nodes[size_t(base)];
                        n.tech = from.tech;
                        n.core_area_HP = from.core_area_HP;
                        n.core_area_LOP = from.core_area_LOP;
                        n.l2_latency_HP = from.l2_latency_HP;
                        n.l2_latency_LOP = from.l2_latency_LOP;
                        bases_.emplace_back(n.name, from);
                    }
                }
            }
            read_numbers<TranTechRecord>(t, where, kNodeFields, n.tech, whole);
            n.core_area_HP.resize(kinds, NAN);
            n.core_area_LOP.resize(kinds, NAN);
            read_areas(t, where, "core_area_HP_mm2", n.core_area_HP, m.core_kinds, whole);
            read_areas(t, where, "core_area_LOP_mm2", n.core_area_LOP, m.core_kinds, whole);
            read_array(t, where, "l2_latency_HP_ns", n.l2_latency_HP, kNonNegative, Order::Any,
                       whole);
            read_array(t, where, "l2_latency_LOP_ns", n.l2_latency_LOP, kNonNegative, Order::Any,
                       whole);
        });
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

// ---------------------------------------------------------------------------------------------
// Plausibility: figures a file may give but real chips do not have

// A figure outside the range typical of real chips, at most one per field.
struct Oddity {
    std::string section; // constants, workload, core_kind, node, reference_chip
    std::string entry;   // the workload, core kind or node; empty in the other sections
    std::string key;     // the field: "Vth_HP", "core_area_LOP_mm2", "l2_latency_HP_ns"
    std::string kind;    // the core kind of a core area; else empty
    int element;         // the element of a latency row the problem is at; else -1
    std::string problem, typical;
    std::vector<double> values; // what it was judged on
};

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

std::vector<Oddity> oddities_of(const Model &m) {
    std::vector<Oddity> out;
    judge_fields<Model>(out, kConstantFields, m, "constants", "");
    judge_fields<ReferenceChip>(out, kReferenceFields, m.reference, "reference_chip", "");
    for (const WorkloadRecord &w : m.workloads)
        judge_fields<WorkloadRecord>(out, kWorkloadFields, w, "workload", w.name);
    for (const CoreKindRecord &k : m.core_kinds)
        judge_fields<CoreKindRecord>(out, kCoreKindFields, k, "core_kind", k.name);
    for (const NodeRecord &n : m.nodes) {
        const TranTechRecord &t = n.tech;
        const size_t start = out.size();
        judge_fields<TranTechRecord>(out, kNodeFields, t, "node", n.name);
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
    std::string text = o.section + (o.entry.empty() ? "" : " " + in_quotes(o.entry)) + " " + o.key;
    if (!o.kind.empty())
        text += " " + in_quotes(o.kind);
    if (o.element >= 0)
        text += "[" + std::to_string(o.element) + "]";
    return text;
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

// One warning per field the file gives that is outside its typical range. A figure the model
// it extends already holds in the same place (the built-in model's entry of that name, or the
// base of a node read with based_on) is not warned about again: docs/model.md lists those of
// the built-in model.
std::vector<std::string> warnings_of(const toml::table &root, const Model &m,
                                     const std::vector<std::pair<std::string, NodeRecord>> &bases,
                                     const std::string &source) {
    Model reference = builtin_model();
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
        if (!given || std::any_of(known.begin(), known.end(), [&](const Oddity &k) {
                return same_place(k, o) && same_values(k.values, o.values);
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

// ---------------------------------------------------------------------------------------------
// Writing

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

ModelFileResult parse_model_text(std::string_view text, const std::string &source) {
    Reader reader(source);
    ModelFileResult result;
    std::vector<std::string> warnings;
    auto model = std::make_shared<Model>();
    if (text.size() > kModelFileMaxBytes) {
        reader.fail_file("it is larger than 1 MiB", "a model file of at most 1 MiB");
    } else if (std::optional<TextProblem> problem = text_problem(text)) {
        reader.fail(problem->line, "TOML syntax", problem->problem, problem->accepted);
    } else {
        try {
            const toml::table root = toml::parse(text, std::string_view(source));
            reader.read_model(root, *model);
            if (!reader.failed())
                warnings = warnings_of(root, *model, reader.bases(), source);
        } catch (const toml::parse_error &error) {
            const toml::source_position &at = error.source().begin;
            // The reader's words quote the offending text, which may be long.
            const std::string_view words = error.description();
            std::string description(words.substr(0, 200));
            if (words.size() > 200)
                description += "...";
            reader.fail(at.line > 0 ? static_cast<int>(at.line) : 1, "TOML syntax",
                        description + " (column " + std::to_string(at.column) + ")",
                        "a TOML 1.0 document");
        } catch (const std::exception &error) {
            reader.fail_file(std::string("it cannot be read: ") + error.what(),
                             "a TOML 1.0 document");
        }
    }
    result.errors = reader.take_errors();
    if (result.errors.empty()) {
        model->source = source;
        result.model = std::move(model);
        result.warnings = std::move(warnings);
    }
    return result;
}

ModelFileResult load_model_file(const std::string &path) {
    Reader reader(path);
    std::string text;
    struct stat status;
    std::FILE *file = nullptr;
    if (stat(path.c_str(), &status) != 0) {
        reader.fail_file(std::string("it cannot be read: ") + std::strerror(errno),
                         "the path of a readable model file");
    } else if (!S_ISREG(status.st_mode)) {
        reader.fail_file("it is not a regular file", "the path of a readable model file");
    } else if ((file = std::fopen(path.c_str(), "rb")) == nullptr) {
        reader.fail_file(std::string("it cannot be read: ") + std::strerror(errno),
                         "the path of a readable model file");
    } else {
        // One byte beyond the limit tells a file that is too large.
        text.resize(kModelFileMaxBytes + 1);
        text.resize(std::fread(text.data(), 1, text.size(), file));
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed)
            reader.fail_file("it cannot be read", "the path of a readable model file");
        else
            return parse_model_text(text, path);
    }
    return ModelFileResult{nullptr, reader.take_errors(), {}};
}

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

std::vector<std::string> implausible_figures(const Model &m) {
    std::vector<std::string> out;
    for (const Oddity &o : oddities_of(m))
        out.push_back(field_text(o) + ": " + o.problem + "; typical: " + o.typical);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The model's numbers by name

namespace {

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
                           &kAxisValue, &kLayers})
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
