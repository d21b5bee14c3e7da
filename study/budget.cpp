#include "study/budget.h"

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

std::vector<double> values_of(const LimitRange &range, double factor = 1) {
    std::vector<double> values(range.count());
    for (size_t i = 0; i < values.size(); i++)
        values[i] = range.value(i) * factor;
    return values;
}

void set_limit(LimitValues &l, Limit limit, double value) {
    (limit == Limit::Area        ? l.area
     : limit == Limit::Power     ? l.power
     : limit == Limit::Bandwidth ? l.bandwidth
                                 : l.tsv) = value;
}

BudgetSeries series_of(const BudgetRequest &b, const OptionSet &options) {
    const Request request{options, b.request.limits, {}};
    const SearchSpec spec = spec_of(request);
    BudgetSeries s{options,
                   limits_in_force(options, request.limits),
                   std::make_shared<LimitQueries>(spec),
                   {},
                   {}};
    const LimitQueries &q = *s.queries;
    const LimitRange &x = b.varied[0];
    if (b.varied.size() == 1) {
        s.best = q.curve(spec.limits, x.limit, values_of(x));
        return s;
    }
    const LimitRange &y = b.varied[1];
    const std::vector<double> xs = values_of(x), ys = values_of(y);
    s.best = q.map(spec.limits, x.limit, xs, y.limit, ys);
    // A limit binds where relaxing it alone by the step changes the optimum.
    const std::vector<int> x_relaxed =
        q.map(spec.limits, x.limit, values_of(x, 1 + b.step), y.limit, ys);
    const std::vector<int> y_relaxed =
        q.map(spec.limits, x.limit, xs, y.limit, values_of(y, 1 + b.step));
    s.binding.resize(s.best.size());
    for (size_t i = 0; i < s.best.size(); i++)
        s.binding[i] = (x_relaxed[i] != s.best[i] ? 1 : 0) | (y_relaxed[i] != s.best[i] ? 2 : 0);
    return s;
}

} // namespace

// The limits in force at a point, x innermost.
LimitValues limits_at(const Budget &budget, const BudgetSeries &s, size_t point) {
    const std::vector<LimitRange> &varied = budget.request.varied;
    LimitValues l = s.limits;
    const size_t columns = varied[0].count();
    set_limit(l, varied[0].limit, varied[0].value(point % columns));
    if (varied.size() > 1)
        set_limit(l, varied[1].limit, varied[1].value(point / columns));
    return l;
}

// The best configuration at a point, as the search reports it.
BestConfiguration best_at(const Budget &budget, const BudgetSeries &s, size_t point) {
    BestConfiguration b;
    b.options = s.options;
    b.limits = limits_at(budget, s, point);
    const int handle = s.best[point];
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
    const Ceilings c = ceilings_of(s.options);
    b.vdd = c.vdd * step_voltage_ratio(s.options, o.scale);
    b.freq = c.freq * f_scal(active_model().scale_steps[o.scale]);
    return b;
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

size_t LimitRange::count() const {
    // Far more points than a budget accepts count as that many, not as an overflow.
    const double steps = std::floor((end - start) / step + 1e-9);
    return steps < 1e15 ? size_t(steps) + 1 : size_t(1e15);
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
    const double points = points_of(b);
    if (!(points <= kMostBudgetPoints))
        return "--vary: " + format("%.0f", points) + " points are too many; accepted: at most " +
               "10,000,000 points over all curves or cells";
    return {};
}

Budget budget(const BudgetRequest &request, int jobs) {
    std::vector<OptionSet> sets;
    if (request.series) {
        for (size_t v = 0; v < choice_names(*request.series).size(); v++) {
            OptionSet o = request.request.options;
            option_field(o, *request.series) = int(v);
            sets.push_back(o);
        }
    } else {
        sets.push_back(request.request.options);
    }
    Budget b{request, std::vector<BudgetSeries>(sets.size())};
    run_in_parallel(sets.size(), jobs,
                    [&](size_t i) { b.series[i] = series_of(request, sets[i]); });
    return b;
}

std::vector<Record> budget_records(const Budget &budget) {
    std::vector<Record> records;
    for (const BudgetSeries &s : budget.series)
        for (size_t point = 0; point < s.best.size(); point++) {
            Record record = best_record(best_at(budget, s, point));
            if (!s.binding.empty())
                record.emplace_back("binding",
                                    std::string(binding_name(s.binding[point], budget.request)));
            records.push_back(std::move(record));
        }
    return records;
}
