#include "web/exercise_api.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "study/budget.h"
#include "study/design.h"
#include "study/result_columns.h"
#include "web/session.h"

namespace {

// A field as the tool's CSV writes it: quoted where it holds a comma, a quote or a line end.
std::string csv_text(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The table as the tool writes CSV: a header, then a line per row; numbers in the shortest text
// that reads back to the same double, a set of names joined with '+', a missing value empty.
std::string csv_of(const Table &table) {
    std::string out;
    for (size_t c = 0; c < table.columns.size(); c++) {
        if (c)
            out += ',';
        out += csv_text(table.columns[c].name());
    }
    out += "\n";
    for (size_t r = 0; r < table.rows(); r++) {
        for (size_t c = 0; c < table.columns.size(); c++) {
            const Column &column = table.columns[c];
            if (c)
                out += ',';
            if (!column.present(r))
                continue;
            switch (column.type()) {
            case ColumnType::Number:
                out += shortest(column.number(r));
                break;
            case ColumnType::Integer:
                out += std::to_string(column.integer(r));
                break;
            case ColumnType::Flag:
                out += column.flag(r) ? "true" : "false";
                break;
            case ColumnType::Name:
                out += csv_text(column.labels()[size_t(column.name_index(r))]);
                break;
            case ColumnType::Names: {
                std::string joined;
                for (size_t label = 0; label < column.labels().size(); label++)
                    if (column.name_set(r) & (uint64_t(1) << label)) {
                        if (!joined.empty())
                            joined += '+';
                        joined += column.labels()[label];
                    }
                out += csv_text(joined);
                break;
            }
            }
        }
        out += "\n";
    }
    return out;
}

std::string refused(const std::string &why) {
    return "{\"error\":" + json_string(why) + "}";
}

std::string answered(const std::string &csv) {
    return "{\"error\":\"\",\"csv\":" + json_string(csv) + "}";
}

// Reads the request's lines into r; empty when every line is read, otherwise why (the name
// first, as the tool's messages start with the option).
std::string read_request(const std::string &text, Request &r) {
    const Choice choices[] = {Choice::Workload, Choice::Memory, Choice::Transistor,
                              Choice::CoreKind, Choice::Node};
    const char *option_names[] = {"workload", "memory", "transistor", "core", "node"};
    int *option_fields[] = {&r.options.workload, &r.options.memory, &r.options.transistor,
                            &r.options.core_kind, &r.options.node};
    std::optional<double> *limit_fields[] = {&r.limits.area, &r.limits.power, &r.limits.bandwidth,
                                             &r.limits.tsv};
    const char *limit_names[] = {"area", "power", "bw", "tsv"};
    r.options.node = active_model().start_node;
    std::string seen = "\n";
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        const std::string name = line.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
        if (seen.find("\n" + name + "\n") != std::string::npos)
            return name + ": given twice; accepted: each once";
        seen += name + "\n";
        bool known = false;
        for (int i = 0; i < 5; i++)
            if (name == option_names[i]) {
                const std::optional<int> k = find_choice(choices[i], value);
                if (!k)
                    return name + ": '" + value +
                           "' is not one; accepted: " + choice_list(choices[i]);
                *option_fields[i] = *k;
                known = true;
            }
        const std::optional<double> number = parse_number(value);
        for (int i = 0; i < 4; i++)
            if (name == limit_names[i]) {
                if (!number || *number < 0)
                    return name + ": '" + value + "' is out of range; accepted: a number >= 0";
                *limit_fields[i] = *number;
                known = true;
            }
        if (name == "cores" || name == "cache" || name == "scale") {
            const std::optional<int> k = !number           ? std::nullopt
                                         : name == "cores" ? core_count_index(*number)
                                         : name == "cache" ? cache_size_index(*number)
                                                           : scale_step_index(*number);
            if (!k)
                return name + ": '" + value + "' is not on the axis; accepted: one of " +
                       (name == "cores"   ? core_count_list()
                        : name == "cache" ? cache_size_list()
                                          : scale_step_list());
            (name == "cores"   ? r.holds.cores
             : name == "cache" ? r.holds.cache
                               : r.holds.scale) = *k;
            known = true;
        }
        if (name == "vdd" || name == "freq") {
            if (!number || !(*number > 0))
                return name + ": " + value + " is out of range; accepted: a number above 0";
            (name == "vdd" ? r.holds.vdd : r.holds.freq) = *number;
            known = true;
        }
        if (!known)
            return name + ": not a name of a request";
    }
    if ((r.holds.vdd || r.holds.freq) && !r.holds.scale)
        return std::string(r.holds.vdd ? "vdd" : "freq") + ": needs a held scale step";
    const std::string point = operating_point_error(r.options, r.holds);
    return point.empty() ? point : point.substr(2); // "--vdd: ..." as "vdd: ..."
}

} // namespace

std::string engine_request_csv(const std::string &text) {
    Request r;
    const std::string error = read_request(text, r);
    if (!error.empty())
        return refused(error);
    Table table = best_table();
    add_best_row(table, search_best(r));
    return answered(csv_of(table));
}

std::string engine_budget_csv(const std::string &text, const std::string &vary, bool check_only) {
    Request r;
    std::string error = read_request(text, r);
    if (!error.empty())
        return refused(error);
    if (r.holds.cores || r.holds.cache || r.holds.scale)
        return refused("a budget holds no dimension; accepted: options and limits");
    const std::optional<LimitRange> range = parse_limit_range(vary, error);
    if (!range)
        return refused(error + "; accepted: LIMIT=START:END:STEP with LIMIT one of area, power, "
                               "bandwidth, tsv, 0 <= START <= END, STEP above 0");
    BudgetRequest b{r, {*range}, std::nullopt, 0.1, {}};
    b.binding = true;
    error = budget_error(b);
    if (!error.empty())
        return refused(error);
    if (double(range->count()) > kMostPagePoints)
        return refused(std::to_string(range->count()) +
                       " points are too many for the page; accepted: at most 1,000 points (a "
                       "larger step or a shorter range)");
    if (check_only)
        return answered("");
    Table table = budget_table(b);
    budget_in_chunks(b, 1, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
        add_budget_rows(table, b, s, chunk, 0, chunk.best.size());
        return true;
    });
    return answered(csv_of(table));
}
