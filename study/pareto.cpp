#include "study/pareto.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "study/energy.h"
#include "study/result_columns.h"

namespace {

constexpr ParetoObjective kAll[] = {ParetoObjective::Speedup,        ParetoObjective::Power,
                                    ParetoObjective::Area,           ParetoObjective::Bandwidth,
                                    ParetoObjective::SpeedupPerWatt, ParetoObjective::Energy};

std::string lower(const std::string &text) {
    std::string name;
    for (char c : text)
        name += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return name;
}

} // namespace

const char *pareto_objective_name(ParetoObjective o) {
    switch (o) {
    case ParetoObjective::Speedup:
        return "speedup";
    case ParetoObjective::Power:
        return "power";
    case ParetoObjective::Area:
        return "area";
    case ParetoObjective::Bandwidth:
        return "bandwidth";
    case ParetoObjective::SpeedupPerWatt:
        return "speedup_per_watt";
    case ParetoObjective::Energy:
        break;
    }
    return "energy";
}

std::optional<std::vector<ParetoObjective>> parse_pareto_objectives(const std::string &text,
                                                                    std::string &error) {
    std::vector<ParetoObjective> objectives;
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        start = comma + 1;
        const auto *found = std::find_if(std::begin(kAll), std::end(kAll), [&](ParetoObjective o) {
            return lower(name) == pareto_objective_name(o);
        });
        if (found == std::end(kAll)) {
            error = "'" + name + "' is not an objective";
            return std::nullopt;
        }
        if (std::find(objectives.begin(), objectives.end(), *found) != objectives.end()) {
            error = "'" + name + "' is named twice";
            return std::nullopt;
        }
        objectives.push_back(*found);
    }
    if (objectives.size() < 2 || objectives.size() > 3) {
        error = std::to_string(objectives.size()) +
                (objectives.size() == 1 ? " objective is" : " objectives are") + " not a front";
        return std::nullopt;
    }
    return objectives;
}

double pareto_figure(const ConfigurationFigures &f, ParetoObjective o) {
    switch (o) {
    case ParetoObjective::Speedup:
        return f.speedup;
    case ParetoObjective::Power:
        return f.power;
    case ParetoObjective::Area:
        return f.area;
    case ParetoObjective::Bandwidth:
        return f.bandwidth;
    case ParetoObjective::SpeedupPerWatt:
        return energy_of(f).speedup_per_watt;
    case ParetoObjective::Energy:
        break;
    }
    return energy_of(f).energy;
}

bool pareto_higher_is_better(ParetoObjective o) {
    return o == ParetoObjective::Speedup || o == ParetoObjective::SpeedupPerWatt;
}

ParetoFront pareto_front(const ParetoRequest &request) {
    ParetoFront result{space(request.request), {}};
    const size_t k = request.objectives.size();
    // Each row's figures, negated where lower is better, so that higher is better throughout.
    struct Candidate {
        size_t row;
        double v[3];
    };
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < result.space.size(); i++) {
        const SpaceRow &row = result.space[i];
        if (!row.feasible())
            continue;
        Candidate c{i, {0, 0, 0}};
        bool nan = false;
        for (size_t j = 0; j < k; j++) {
            const double figure = pareto_figure(row.figures, request.objectives[j]);
            nan = nan || std::isnan(figure);
            c.v[j] = pareto_higher_is_better(request.objectives[j]) ? figure : -figure;
        }
        if (!nan)
            candidates.push_back(c);
    }
    // Best first on the objectives in order; of rows equal on all, the later one first. A row
    // can then be beaten only by one before it, and one at least as good on every objective
    // before it either beats it or is a later row equal to it.
    std::sort(candidates.begin(), candidates.end(), [k](const Candidate &a, const Candidate &b) {
        for (size_t j = 0; j < k; j++)
            if (a.v[j] != b.v[j])
                return a.v[j] > b.v[j];
        return a.row > b.row;
    });
    std::vector<const Candidate *> kept;
    // With two objectives every row before one is at least as good on the first, so it is
    // beaten exactly when one before it is at least as good on the second.
    double best_second = -std::numeric_limits<double>::infinity();
    for (const Candidate &c : candidates) {
        if (k == 2) {
            if (!kept.empty() && best_second >= c.v[1])
                continue;
            best_second = std::max(best_second, c.v[1]);
            kept.push_back(&c);
            continue;
        }
        const bool beaten = std::any_of(kept.begin(), kept.end(), [&](const Candidate *f) {
            for (size_t j = 0; j < k; j++)
                if (f->v[j] < c.v[j])
                    return false;
            return true;
        });
        if (!beaten)
            kept.push_back(&c);
    }
    for (const Candidate *c : kept)
        result.front.push_back(c->row);
    return result;
}

Table pareto_table(bool with_options) {
    Table t = space_table(with_options);
    add_energy_columns(t);
    return t;
}

void add_pareto_row(Table &t, const OptionSet &o, const SpaceRow &row) {
    add_space_row(t, o, row);
    add_energy_values(t, &row.figures);
}
