// The reader of a model file's TOML tree: every field checked, one message per problem, the
// figures written into a Model.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "model/model.h"
#include "modelfile/fields.h"
#include "modelfile/text.h"

namespace model_file_detail {

inline constexpr size_t kMaxEntries = 100;  // workloads, core kinds or nodes
inline constexpr size_t kMaxTextBytes = 80; // names, window items, descriptions
inline constexpr size_t kMaxMessages = 100; // messages listed for one file
inline constexpr const char *kExtendsAccepted =
    "\"built-in\", the path of a model file (relative to the folder of the file that names it), "
    "or no extends line for a complete model";

inline int line_of(const toml::source_region &where) {
    return where.begin.line > 0 ? static_cast<int>(where.begin.line) : 1;
}
inline int line_of(const toml::node &node) {
    return line_of(node.source());
}

inline std::string type_name(const toml::node &node) {
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
    // The model a file that extends another file starts from (null: none is loaded).
    void set_base(std::shared_ptr<const Model> base) { base_ = std::move(base); }
    // The model the file starts from: its base file's, or the built-in one (also for a complete
    // model, whose figures are judged against it).
    const Model &extended() const { return base_ ? *base_ : builtin_model(); }

    std::vector<std::string> take_errors() {
        if (unlisted_ > 0)
            errors_.push_back(source_ + ": " + std::to_string(unlisted_) +
                              " more problems are not listed");
        return std::move(errors_);
    }
    void read_model(const toml::table &root, Model &m);
    // [voltage_frequency]'s optional frequency_law ("table" or "alpha_power") and alpha.
    void read_frequency_law(const toml::table &t, Model &m);
    // After a change of the cache axis, the latency rows not given for it (rows_given, HP and
    // LOP per node) take each size's latency from the model extended; a size it has none for
    // is refused.
    void tie_latencies_to_sizes(Model &m, const std::vector<std::array<bool, 2>> &rows_given,
                                int axis_line);

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
    std::shared_ptr<const Model> base_;
    std::vector<std::string> errors_;
    size_t unlisted_ = 0;
};

} // namespace model_file_detail
