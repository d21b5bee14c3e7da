#include "study/budget.h"

#include <algorithm>
#include <cmath>

#include "model/model.h"
#include "model/scaling.h"
#include "search/limit_queries.h"
#include "study/choices.h"
#include "study/parallel.h"

namespace {

std::optional<Limit> limit_named(const std::string &name) {
    std::string lower;
    for (char c : name)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv})
        if (lower == limit_name(limit))
            return limit;
    if (lower == "bw")
        return Limit::Bandwidth;
    return std::nullopt;
}

std::string quoted(const std::string &text) {
    return "'" + text + "'";
}

int &option_field(OptionSet &o, Choice choice) {
    switch (choice) {
    case Choice::Workload:
        return o.workload;
    case Choice::Memory:
        return o.memory;
    case Choice::Transistor:
        return o.transistor;
    case Choice::CoreKind:
        return o.core_kind;
    case Choice::Node:
        break;
    }
    return o.node;
}

double points_of(const BudgetRequest &b) {
    double points = 1;
    for (const LimitRange &range : b.varied)
        points *= double(range.count());
    return points * (b.series ? double(choice_names(*b.series).size()) : 1.0);
}

void set_limit(LimitValues &l, Limit limit, double value) {
    (limit == Limit::Area        ? l.area
     : limit == Limit::Power     ? l.power
     : limit == Limit::Bandwidth ? l.bandwidth
                                 : l.tsv) = value;
}

std::vector<OptionSet> option_sets_of(const BudgetRequest &request) {
    std::vector<OptionSet> sets;
    if (!request.series)
        return {request.request.options};
    for (size_t v = 0; v < choice_names(*request.series).size(); v++) {
        OptionSet o = request.request.options;
        option_field(o, *request.series) = int(v);
        sets.push_back(o);
    }
    return sets;
}

BudgetSeries series_of(const BudgetRequest &b, const OptionSet &options) {
    const Request request{options, b.request.limits, {}};
    BudgetSeries s{options, limits_in_force(options, request.limits), nullptr, {}, {}, {}, {}};
    if (b.best_over.empty()) {
        s.queries =
            b.objective == Objective::Speedup
                ? std::make_shared<LimitQueries>(spec_of(request))
                : std::make_shared<LimitQueries>(spec_of(request), objective_rank(b.objective));
        return s;
    }
    // Every combination of the compared options' values, the first option outermost.
    std::vector<OptionSet> sets{options};
    for (Choice choice : b.best_over) {
        std::vector<OptionSet> more;
        for (const OptionSet &set : sets)
            for (size_t v = 0; v < choice_names(choice).size(); v++) {
                OptionSet o = set;
                option_field(o, choice) = int(v);
                more.push_back(o);
            }
        sets = std::move(more);
    }
    for (const OptionSet &o : sets) {
        BudgetRequest alone = b;
        alone.best_over.clear();
        s.candidates.push_back(series_of(alone, o));
    }
    s.queries = s.candidates.front().queries;
    return s;
}

// How a candidate's answer ranks among the others of a best-over point, higher is better: the
// speedup, or the objective's own score (which the candidates' answers are never NaN in).
double candidate_score(const ConfigurationFigures &figures, Objective objective) {
    return objective == Objective::Speedup ? figures.speedup : objective_rank(objective)(figures);
}

// Points a chunk holds at most: a few MB of handles, however many points a budget has.
constexpr size_t kChunkPoints = size_t(1) << 18;

std::vector<double> values_of(const LimitRange &range, size_t from, size_t to, double factor) {
    std::vector<double> values(to - from);
    for (size_t i = from; i < to; i++)
        values[i - from] = range.value(i) * factor;
    return values;
}

// The answers at the points of rows [y_from, y_to) and columns [x_from, x_to) of a map (one
// row when the columns are not all of them), or at x [x_from, x_to) of a curve.
BudgetChunk chunk_of(const BudgetRequest &b, const BudgetSeries &s, size_t x_from, size_t x_to,
                     size_t y_from, size_t y_to, int jobs) {
    const LimitQueries &q = *s.queries;
    const LimitChecks limits = spec_of(Request{s.options, b.request.limits, {}}).limits;
    const LimitRange &x = b.varied[0];
    BudgetChunk chunk{y_from * size_t(x.count()) + x_from, {}, {}, {}};
    if (!s.candidates.empty()) {
        // The best of the candidates' answers by the objective; the first candidate among
        // equals. Each candidate's answer is already its best by the objective.
        std::vector<std::vector<int>> answers(s.candidates.size());
        run_in_parallel(answers.size(), jobs, [&](size_t c) {
            answers[c] = chunk_of(b, s.candidates[c], x_from, x_to, y_from, y_to, 1).best;
        });
        chunk.best.assign(x_to - x_from, -1);
        chunk.chosen.assign(x_to - x_from, 0);
        std::vector<double> best_score(x_to - x_from);
        for (size_t c = 0; c < answers.size(); c++)
            for (size_t i = 0; i < chunk.best.size(); i++) {
                const int handle = answers[c][i];
                if (handle < 0)
                    continue;
                const double score =
                    candidate_score(s.candidates[c].queries->figures(handle), b.objective);
                if (chunk.best[i] < 0 || score > best_score[i]) {
                    chunk.best[i] = handle;
                    chunk.chosen[i] = int(c);
                    best_score[i] = score;
                }
            }
        return chunk;
    }
    if (b.varied.size() == 1) {
        const std::vector<double> xs = values_of(x, x_from, x_to, 1);
        chunk.best = q.curve(limits, x.limit, xs);
        if (!b.binding)
            return chunk;
        // Each limit in force relaxed alone by the step: the varied one at each point's value.
        chunk.binding.assign(chunk.best.size(), 0);
        for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv}) {
            if (limit == Limit::Tsv && s.options.memory == 0)
                continue;
            LimitChecks relaxed = limits;
            if (limit != x.limit)
                relaxed.value(limit) *= 1 + b.step;
            const std::vector<int> moved = q.curve(
                relaxed, x.limit, limit == x.limit ? values_of(x, x_from, x_to, 1 + b.step) : xs);
            for (size_t i = 0; i < moved.size(); i++)
                if (moved[i] != chunk.best[i])
                    chunk.binding[i] |= (unsigned char)(1 << int(limit));
        }
        return chunk;
    }
    const LimitRange &y = b.varied[1];
    const std::vector<double> xs = values_of(x, x_from, x_to, 1),
                              ys = values_of(y, y_from, y_to, 1);
    // A limit binds where relaxing it alone by the step changes the optimum.
    std::vector<int> answers[3];
    run_in_parallel(3, jobs, [&](size_t i) {
        answers[i] = q.map(limits, x.limit, i == 1 ? values_of(x, x_from, x_to, 1 + b.step) : xs,
                           y.limit, i == 2 ? values_of(y, y_from, y_to, 1 + b.step) : ys);
    });
    chunk.best = std::move(answers[0]);
    chunk.binding.resize(chunk.best.size());
    for (size_t i = 0; i < chunk.best.size(); i++)
        chunk.binding[i] =
            (answers[1][i] != chunk.best[i] ? 1 : 0) | (answers[2][i] != chunk.best[i] ? 2 : 0);
    return chunk;
}

// The chunks of one series in point order: whole rows of x at a time, or, when a row alone is
// more than a chunk, pieces of one row.
bool series_in_chunks(const BudgetRequest &b, const BudgetSeries &s, int jobs,
                      const std::function<bool(const BudgetSeries &, const BudgetChunk &)> &take) {
    const size_t columns = b.varied[0].count();
    const size_t rows = b.varied.size() > 1 ? b.varied[1].count() : 1;
    if (columns >= kChunkPoints || rows == 1) {
        for (size_t row = 0; row < rows; row++)
            for (size_t x = 0; x < columns; x += kChunkPoints)
                if (!take(s, chunk_of(b, s, x, std::min(columns, x + kChunkPoints), row, row + 1,
                                      jobs)))
                    return false;
        return true;
    }
    const size_t rows_per_chunk = kChunkPoints / columns;
    for (size_t row = 0; row < rows; row += rows_per_chunk)
        if (!take(s, chunk_of(b, s, 0, columns, row, std::min(rows, row + rows_per_chunk), jobs)))
            return false;
    return true;
}

} // namespace

LimitValues limits_at(const BudgetRequest &request, const BudgetSeries &s, size_t point) {
    const std::vector<LimitRange> &varied = request.varied;
    LimitValues l = s.limits;
    const size_t columns = varied[0].count();
    set_limit(l, varied[0].limit, varied[0].value(point % columns));
    if (varied.size() > 1)
        set_limit(l, varied[1].limit, varied[1].value(point / columns));
    return l;
}

BestConfiguration best_at(const BudgetSeries &s, const LimitValues &limits, int handle) {
    BestConfiguration b;
    b.options = s.options;
    b.limits = limits;
    b.feasible = handle >= 0;
    if (!b.feasible) {
        for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv})
            if ((limit != Limit::Tsv || s.options.memory != 0) &&
                s.queries->least(limit) > limit_value(b.limits, limit))
                b.unmeetable.push_back(limit);
        return b;
    }
    const SearchOutcome o = s.queries->outcome(handle, LimitChecks{});
    b.speedup = o.speedup;
    b.scale = o.scale, b.cache = o.cache, b.cores = o.cores;
    b.figures = o.figures;
    b.edges = edges_of(o.cores, o.cache, o.scale, Holds{});
    const Ceilings c = ceilings_of(s.options);
    b.vdd = c.vdd * step_voltage_ratio(s.options, o.scale);
    b.freq = c.freq * step_frequency_ratio(s.options, o.scale);
    return b;
}

BestConfiguration best_in_chunk(const BudgetRequest &request, const BudgetSeries &s,
                                const BudgetChunk &chunk, size_t i) {
    const size_t point = chunk.first + i;
    if (s.candidates.empty())
        return best_at(s, limits_at(request, s, point), chunk.best[i]);
    const BudgetSeries &chosen = s.candidates[size_t(chunk.chosen[i])];
    BestConfiguration b = best_at(chosen, limits_at(request, chosen, point), chunk.best[i]);
    if (b.feasible)
        return b;
    // Nothing meets the limits in any candidate: the limits that none of them meets alone.
    for (const BudgetSeries &other : s.candidates) {
        const std::vector<Limit> its =
            best_at(other, limits_at(request, other, point), -1).unmeetable;
        std::erase_if(b.unmeetable, [&](Limit limit) {
            return std::find(its.begin(), its.end(), limit) == its.end();
        });
    }
    return b;
}

std::optional<std::vector<Choice>> parse_best_over(const std::string &text, std::string &error) {
    std::vector<Choice> choices;
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        const std::optional<Choice> choice = series_choice(name);
        if (!choice) {
            error = quoted(name) + " is not an option";
            return std::nullopt;
        }
        if (std::find(choices.begin(), choices.end(), *choice) != choices.end()) {
            error = quoted(name) + " is given twice";
            return std::nullopt;
        }
        choices.push_back(*choice);
        start = comma + 1;
    }
    return choices;
}

const char *binding_name(unsigned char binding, const BudgetRequest &b) {
    switch (binding) {
    case 0:
        return "neither";
    case 1:
        return limit_name(b.varied[0].limit);
    case 2:
        return limit_name(b.varied[1].limit);
    }
    return "both";
}

std::uint64_t LimitRange::count() const {
    // Far more points than a budget accepts count as that many, not as an overflow.
    const double steps = std::floor((end - start) / step + 1e-9);
    return steps < 1e15 ? std::uint64_t(steps) + 1 : std::uint64_t(1e15);
}

double LimitRange::value(size_t i) const {
    return std::fmin(start + double(i) * step, end);
}

std::optional<LimitRange> parse_limit_range(const std::string &text, std::string &error) {
    const size_t equals = text.find('=');
    const size_t colon = text.find(':', equals == std::string::npos ? 0 : equals);
    const size_t second = colon == std::string::npos ? colon : text.find(':', colon + 1);
    if (equals == std::string::npos || second == std::string::npos) {
        error = quoted(text) + " is not LIMIT=START:END:STEP";
        return std::nullopt;
    }
    const std::optional<Limit> limit = limit_named(text.substr(0, equals));
    if (!limit) {
        error = quoted(text.substr(0, equals)) + " is not a limit";
        return std::nullopt;
    }
    const std::optional<double> start = parse_number(text.substr(equals + 1, colon - equals - 1));
    const std::optional<double> end = parse_number(text.substr(colon + 1, second - colon - 1));
    const std::optional<double> step = parse_number(text.substr(second + 1));
    if (!start || !end || !step)
        error = quoted(text) + " is not LIMIT=START:END:STEP with numbers";
    else if (*start < 0)
        error = "start " + shortest(*start) + " is below 0";
    else if (*start > *end)
        error = "start " + shortest(*start) + " is above end " + shortest(*end);
    else if (!(*step > 0))
        error = "step " + shortest(*step) + " is not above 0";
    if (!error.empty())
        return std::nullopt;
    return LimitRange{*limit, *start, *end, *step};
}

std::string budget_error(const BudgetRequest &b) {
    if (b.varied.empty() || b.varied.size() > 2)
        return "--vary: " + std::to_string(b.varied.size()) +
               " limits given; accepted: one limit (a curve) or two (a map)";
    if (b.varied.size() == 2 && b.varied[0].limit == b.varied[1].limit)
        return std::string("--vary: ") + limit_name(b.varied[0].limit) +
               " is given twice; accepted: two different limits";
    if (b.varied.size() == 2 && b.series)
        return "--series: a curve per option value takes one varied limit, not two; accepted: "
               "--series with one limit in --vary";
    for (const LimitRange &range : b.varied)
        if (range.limit == Limit::Tsv && b.request.options.memory == 0 &&
            b.series != Choice::Memory)
            return "--vary: the TSV limit is checked with 3D memory only; accepted: tsv with "
                   "--memory 3D or --series memory";
    if (b.binding && b.varied.size() == 2)
        return "--binding: a map gives which of its limits bind already; accepted: --binding with "
               "one limit in --vary";
    if (b.binding && !b.best_over.empty())
        return "--binding: not with --best-over; accepted: one of them";
    if (!b.best_over.empty() && b.varied.size() == 2)
        return "--best-over: the best over options takes one varied limit, not two; accepted: "
               "--best-over with one limit in --vary";
    for (Choice choice : b.best_over)
        if (b.series == choice)
            return "--best-over: " + std::string(choice_title(choice)) +
                   " is also the series; accepted: options other than --series";
    const double points = points_of(b);
    if (!(points <= kMostBudgetPoints))
        return "--vary: " + format("%.0f", points) + " points are too many; accepted: at most " +
               "10,000,000 points over all curves or cells";
    return {};
}

bool budget_in_chunks(const BudgetRequest &request, int jobs,
                      const std::function<bool(const BudgetSeries &, const BudgetChunk &)> &take) {
    const std::vector<OptionSet> sets = option_sets_of(request);
    const size_t group = size_t(std::max(jobs, 1));
    for (size_t first = 0; first < sets.size(); first += group) {
        std::vector<BudgetSeries> series(std::min(group, sets.size() - first));
        run_in_parallel(series.size(), jobs,
                        [&](size_t i) { series[i] = series_of(request, sets[first + i]); });
        for (const BudgetSeries &s : series)
            if (!series_in_chunks(request, s, jobs, take))
                return false;
    }
    return true;
}

Budget budget(const BudgetRequest &request, int jobs) {
    Budget b{request, {}};
    budget_in_chunks(request, jobs, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
        if (b.series.empty() || b.series.back().queries != s.queries)
            b.series.push_back(BudgetSeries{s.options, s.limits, s.queries, {}, {}, {}, {}});
        BudgetSeries &kept = b.series.back();
        kept.candidates = s.candidates;
        kept.chosen.insert(kept.chosen.end(), chunk.chosen.begin(), chunk.chosen.end());
        kept.best.insert(kept.best.end(), chunk.best.begin(), chunk.best.end());
        kept.binding.insert(kept.binding.end(), chunk.binding.begin(), chunk.binding.end());
        return true;
    });
    return b;
}

Table budget_table(const BudgetRequest &request, bool edges) {
    Table t = best_table(edges);
    if (request.binding && request.varied.size() == 1)
        t.add("binding", ColumnType::Names, {"area", "power", "bandwidth", "tsv"});
    if (request.varied.size() > 1)
        t.add("binding", ColumnType::Name,
              {"neither", limit_name(request.varied[0].limit), limit_name(request.varied[1].limit),
               "both"});
    return t;
}

void add_budget_rows(Table &table, const BudgetRequest &request, const BudgetSeries &series,
                     const BudgetChunk &chunk, size_t from, size_t to) {
    const bool map = request.varied.size() > 1;
    for (size_t i = from; i < to; i++) {
        add_best_row(table, best_in_chunk(request, series, chunk, i));
        if (map)
            table.columns.back().add_name(chunk.binding[i]);
        else if (request.binding)
            table.columns.back().add_names(chunk.binding[i]);
    }
}
