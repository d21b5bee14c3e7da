#include "chips/chip_table.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <toml++/toml.h>

namespace {

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

int line_of(const toml::node &node) {
    const auto line = node.source().begin.line;
    return line > 0 ? int(line) : 1;
}

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

template <typename Named> std::string names_of(const Named &list) {
    std::string out;
    for (const auto &entry : list)
        out += (out.empty() ? "" : ", ") + entry.name;
    return out;
}

template <typename Named> int index_named(const Named &list, const std::string &name) {
    for (size_t i = 0; i < list.size(); i++)
        if (same_name(list[i].name, name))
            return int(i);
    return -1;
}

const char *const kFields[] = {"name",        "node",     "node_nm",    "transistor",
                               "core",        "workload", "memory",     "cores",
                               "cache_mb",    "freq_ghz", "vdd_v",      "area_mm2",
                               "area_covers", "power_w",  "power_kind", "sources"};

class Reader {
  public:
    Reader(std::string source, const Model &model) : source_(std::move(source)), model_(model) {}

    void fail(int line, const std::string &field, const std::string &problem,
              const std::string &accepted) {
        std::string where = source_;
        if (line > 0)
            where.append(1, ':').append(std::to_string(line));
        errors_.push_back(where + ": " + field + ": " + problem + "; accepted: " + accepted);
    }

    std::vector<std::string> take_errors() { return std::move(errors_); }

    void read(const toml::table &root, std::vector<Chip> &chips) {
        const toml::node *version = root.get("format_version");
        if (!version) {
            fail(1, "format_version", "the field is missing", "format_version = 1");
        } else if (version->value<int64_t>() != int64_t(1)) {
            fail(line_of(*version), "format_version", "this version is not accepted",
                 "1 (this program reads version 1)");
            return;
        }
        for (const auto &[key, value] : root)
            if (key.str() != "format_version" && key.str() != "chip")
                fail(line_of(value), std::string(key.str()), "unknown field",
                     "format_version and [[chip]] tables");
        const toml::node *list = root.get("chip");
        const toml::array *array = list ? list->as_array() : nullptr;
        if (!array || array->empty()) {
            fail(list ? line_of(*list) : 1, "chip", "no chips", "one or more [[chip]] tables");
            return;
        }
        for (size_t i = 0; i < array->size(); i++) {
            const toml::table *t = (*array)[i].as_table();
            if (!t) {
                fail(line_of((*array)[i]), "chip " + std::to_string(i + 1), "not a table",
                     "[[chip]] tables");
                continue;
            }
            Chip chip;
            if (read_chip(*t, i, chip)) {
                for (const Chip &earlier : chips)
                    if (same_name(earlier.name, chip.name))
                        fail(line_of(*t->get("name")), where_, "the name names an earlier chip",
                             "a name of its own for each chip");
                chips.push_back(std::move(chip));
            }
        }
    }

  private:
    // The text of a field; none, with a message, when it is missing or not text.
    std::optional<std::string> text(const toml::table &t, const char *key, bool required) {
        const toml::node *node = t.get(key);
        if (!node) {
            if (required)
                fail(line_of(t), where_ + " " + key, "the field is missing", "a text in quotes");
            return std::nullopt;
        }
        if (!node->is_string() || node->as_string()->get().empty()) {
            fail(line_of(*node), where_ + " " + key, "not a text", "a text in quotes");
            return std::nullopt;
        }
        return node->as_string()->get();
    }

    // A number above 0 (at least 1 and whole for a count); none, with a message, when missing
    // or out of range.
    std::optional<double> number(const toml::table &t, const char *key, bool required,
                                 bool count = false) {
        const char *accepted = count ? "a whole number, at least 1" : "a number above 0";
        const toml::node *node = t.get(key);
        if (!node) {
            if (required)
                fail(line_of(t), where_ + " " + key, "the field is missing", accepted);
            return std::nullopt;
        }
        const std::optional<double> value = node->value<double>();
        if (!node->is_number() || !value) {
            fail(line_of(*node), where_ + " " + key, "not a number", accepted);
            return std::nullopt;
        }
        const double v = *value;
        const bool ok = std::isfinite(v) && (count ? v >= 1 && v == std::floor(v) : v > 0);
        if (!ok) {
            fail(line_of(*node), where_ + " " + key, shortest(v) + " is out of range", accepted);
            return std::nullopt;
        }
        return v;
    }

    template <typename Named>
    int option(const toml::table &t, const char *key, const Named &list, bool required,
               int fallback) {
        const std::optional<std::string> name = text(t, key, required);
        if (!name)
            return fallback;
        const int at = index_named(list, *name);
        if (at < 0)
            fail(line_of(*t.get(key)), where_ + " " + key,
                 quoted(*name) + " is not one of the model's", "one of " + names_of(list));
        return at < 0 ? fallback : at;
    }

    std::string choice(const toml::table &t, const char *key,
                       const std::vector<std::string> &accepted) {
        const std::optional<std::string> value = text(t, key, true);
        if (!value)
            return {};
        for (const std::string &a : accepted)
            if (same_name(a, *value))
                return a;
        std::string list;
        for (const std::string &a : accepted)
            list += (list.empty() ? "" : ", ") + a;
        fail(line_of(*t.get(key)), where_ + " " + key, quoted(*value) + " is not accepted",
             "one of " + list);
        return {};
    }

    bool read_chip(const toml::table &t, size_t i, Chip &chip) {
        const size_t before = errors_.size();
        where_ = "chip " + std::to_string(i + 1);
        if (const std::optional<std::string> name = text(t, "name", true)) {
            chip.name = *name;
            where_ = "chip " + quoted(*name);
        }
        for (const auto &[key, value] : t) {
            const std::string_view name = key.str(); // the lambda cannot capture a binding
            if (std::none_of(std::begin(kFields), std::end(kFields),
                             [&](const char *f) { return name == f; }))
                fail(line_of(value), where_ + " " + std::string(name), "unknown field",
                     "name, node, node_nm, transistor, core, workload, memory, cores, cache_mb, "
                     "freq_ghz, vdd_v, area_mm2, area_covers, power_w, power_kind, sources");
        }
        OptionSet &o = chip.options;
        o.node = option(t, "node", model_.nodes, true, 0);
        o.transistor = option(t, "transistor", model_.transistor_kinds, true, 0);
        o.core_kind = option(t, "core", model_.core_kinds, true, 0);
        o.workload = option(t, "workload", model_.workloads, false, 0);
        o.memory = option(t, "memory", model_.memory_kinds, false, 0);
        chip.node_nm = number(t, "node_nm", true).value_or(0);
        chip.cores = number(t, "cores", true, true).value_or(0);
        chip.cache_mb = number(t, "cache_mb", true).value_or(0);
        chip.freq_ghz = number(t, "freq_ghz", true).value_or(0);
        chip.vdd_v = number(t, "vdd_v", false);
        chip.area_mm2 = number(t, "area_mm2", false);
        chip.power_w = number(t, "power_w", false);
        if (chip.area_mm2 || t.get("area_covers"))
            chip.area_covers = choice(t, "area_covers", {"die", "cpu"});
        if (!chip.area_mm2 && t.get("area_covers") && !t.get("area_mm2"))
            fail(line_of(*t.get("area_covers")), where_ + " area_covers", "no area_mm2 to cover",
                 "area_covers with area_mm2");
        if (chip.power_w || t.get("power_kind"))
            chip.power_kind = choice(t, "power_kind", {"max", "tdp", "nominal", "measured"});
        if (!chip.power_w && t.get("power_kind") && !t.get("power_w"))
            fail(line_of(*t.get("power_kind")), where_ + " power_kind", "no power_w to qualify",
                 "power_kind with power_w");
        const toml::node *sources = t.get("sources");
        const toml::array *list = sources ? sources->as_array() : nullptr;
        if (!sources)
            fail(line_of(t), where_ + " sources", "the field is missing",
                 "a list of one or more texts naming where the figures come from");
        else if (!list || list->empty() ||
                 !std::all_of(list->begin(), list->end(), [](const toml::node &n) {
                     return n.is_string() && !n.as_string()->get().empty();
                 }))
            fail(line_of(*sources), where_ + " sources", "not a list of texts",
                 "a list of one or more texts naming where the figures come from");
        else
            for (const toml::node &n : *list)
                chip.sources.push_back(n.as_string()->get());
        return errors_.size() == before;
    }

    std::string source_;
    const Model &model_;
    std::string where_;
    std::vector<std::string> errors_;
};

} // namespace

ChipTable parse_chip_table(std::string_view text, const std::string &source, const Model &model) {
    Reader reader(source, model);
    ChipTable table;
    if (text.size() > kChipTableMaxBytes) {
        reader.fail(0, "file", "it is larger than 1 MiB", "a chip table of at most 1 MiB");
    } else {
        try {
            const toml::table root = toml::parse(text, std::string_view(source));
            reader.read(root, table.chips);
        } catch (const toml::parse_error &error) {
            const std::string_view words = error.description();
            std::string description(words.substr(0, 200));
            const auto line = error.source().begin.line;
            reader.fail(line > 0 ? int(line) : 1, "TOML syntax",
                        description + " (column " + std::to_string(error.source().begin.column) +
                            ")",
                        "a TOML 1.0 document");
        }
    }
    table.errors = reader.take_errors();
    if (!table.errors.empty())
        table.chips.clear();
    return table;
}

ChipTable read_chip_table(const std::string &path, const Model &model) {
    struct stat status;
    std::string problem;
    if (stat(path.c_str(), &status) != 0)
        problem = std::string("it cannot be read: ") + std::strerror(errno);
    else if (!S_ISREG(status.st_mode))
        problem = "it is not a regular file";
    std::FILE *file = problem.empty() ? std::fopen(path.c_str(), "rb") : nullptr;
    if (problem.empty() && !file)
        problem = std::string("it cannot be read: ") + std::strerror(errno);
    if (!problem.empty()) {
        ChipTable table;
        table.errors.push_back(path + ": file: " + problem +
                               "; accepted: the path of a readable chip table");
        return table;
    }
    std::string text(kChipTableMaxBytes + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return parse_chip_table(text, path, model);
}
