// budget: the best configuration as one limit varies over a range (a curve, or a curve per
// value of an option), or as two limits vary (a map with the limit that binds at each point).
#include "study/budget.h"
#include "charts/image_file.h"
#include "cli/analysis_charts.h"
#include "cli/command.h"
#include "cli/report.h"
#include "cli/research_text.h"

namespace {

std::optional<BudgetRequest> budget_request(const Request &r, const Arguments &a, FILE *err) {
    BudgetRequest b{r, {}, std::nullopt, *parse_number(a.step) / 100, {}};
    for (size_t start = 0; start <= a.vary.size();) {
        const size_t comma = std::min(a.vary.find(',', start), a.vary.size());
        std::string error;
        const std::optional<LimitRange> range =
            parse_limit_range(a.vary.substr(start, comma - start), error);
        if (!range) {
            say(err, "--vary: " + error + "; accepted: " + accepted_by("budget --vary"));
            return std::nullopt;
        }
        b.varied.push_back(*range);
        start = comma + 1;
    }
    if (!a.series.empty())
        b.series = series_choice(a.series);
    if (!a.best_over.empty()) {
        std::string error;
        b.best_over = *parse_best_over(a.best_over, error);
    }
    b.binding = a.binding;
    const std::string refused = budget_error(b);
    if (!refused.empty()) {
        say(err, refused);
        return std::nullopt;
    }
    return b;
}

// Every point of a budget, written as the points are worked out (or from the answers kept for
// a picture, when there is one).
int run_budget(const BudgetRequest &b, const Budget *kept, const std::string &format, bool flags,
               int jobs, Output &out, FILE *err) {
    constexpr size_t kRowsPerTable = 4096;
    const bool text = format == "text";
    TableWriter writer(out, table_format(format));
    Table table = budget_table(b, flags);
    bool first = true;
    auto take = [&](const BudgetSeries &s, const BudgetChunk &chunk) {
        if (text && chunk.first == 0) {
            if (first && b.objective != Objective::Speedup)
                out.text() += objective_line(b.objective);
            out.text() += budget_text_header(b, s, first);
            first = false;
        }
        for (size_t from = 0; from < chunk.best.size(); from += kRowsPerTable) {
            const size_t to = std::min(chunk.best.size(), from + kRowsPerTable);
            if (text) {
                append_budget_text_rows(out.text(), b, s, chunk, from, to);
                if (!out.flush_when_full())
                    return false;
                continue;
            }
            table.clear_rows();
            add_budget_rows(table, b, s, chunk, from, to);
            if (!writer.write(table))
                return false;
        }
        return true;
    };
    bool written = true;
    if (kept == nullptr)
        written = budget_in_chunks(b, jobs, take);
    for (size_t i = 0; kept != nullptr && written && i < kept->series.size(); i++) {
        const BudgetSeries &s = kept->series[i];
        written = take(s, BudgetChunk{0, s.best, s.binding, s.chosen});
    }
    if (written && !text)
        writer.finish();
    return finished(out, err);
}

void add_budget_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add(command, "--vary", a.vary, "LIMIT=START:END:STEP[,LIMIT=START:END:STEP]",
        "the limit or two limits to vary",
        "LIMIT one of area, power, bandwidth, tsv; 0 <= START <= END; STEP above 0; at most "
        "10,000,000 points",
        [](const std::string &) { return std::string(); })
        ->required();
    add(command, "--series", a.series, "OPTION", "a curve per value of this option",
        "one of workload, memory, transistor, core, node", [](const std::string &text) {
            return series_choice(text) ? std::string() : quoted(text) + " is not an option";
        });
    add(command, "--best-over", a.best_over, "OPTION[,OPTION]",
        "at each point, the best over every value of these options",
        "options among workload, memory, transistor, core, node, each once, other than --series; "
        "with one limit in --vary",
        [](const std::string &text) {
            std::string error;
            return parse_best_over(text, error) ? std::string() : error;
        });
    command->add_flag("--binding", a.binding,
                      "curves: add the limits whose relaxation alone by --step changes the "
                      "optimum at each point (a binding column)");
    add(command, "--step", a.step, "PERCENT",
        "with two limits or --binding, how far relaxing one alone must change the optimum for it "
        "to bind",
        "a number of percent above 0 (default 10)", step_check());
    add_jobs(command, a);
    add_flags(command, a);
    add_format(command, a);
    add_picture(command, a, "draw the curves or the map into this picture as well");
    add_objective(command, a);
}

int run_budget_command(const Invocation &run) {
    const Arguments &a = run.a;
    std::optional<BudgetRequest> b = budget_request(run.r, a, run.err);
    if (!b)
        return 2;
    if (run.app.count("--step") > 0 && b->varied.size() == 1 && !a.binding) {
        say(run.err, "--step: decides which limits bind, which a curve without --binding does not "
                     "show; accepted: --step with --binding or with two limits in --vary");
        return 2;
    }
    b->objective = a.chosen();
    if (a.output.empty())
        return run_budget(*b, nullptr, a.format, a.flags, jobs_of(a), run.out, run.err);
    // A picture draws every point: the answers are kept for it.
    const Budget answers = budget(*b, jobs_of(a));
    const int status =
        drawn(write_budget_chart(answers, a.output, *image_format_of(a.output)), run.err);
    if (status != 0)
        return status;
    return run_budget(*b, &answers, a.format, a.flags, jobs_of(a), run.out, run.err);
}

// With --series, every value of the option the curves go through.
void warn_non_finite_in_budget(const Invocation &run, const std::vector<Request> &option_sets) {
    const Arguments &a = run.a;
    std::vector<Request> gone_through = option_sets;
    if (!a.series.empty() && series_choice(a.series)) {
        const Choice series = *series_choice(a.series);
        gone_through.clear();
        for (size_t i = 0; i < choice_names(series).size(); i++) {
            Request each = run.r;
            OptionSet &o = each.options;
            (series == Choice::Workload     ? o.workload
             : series == Choice::Memory     ? o.memory
             : series == Choice::Transistor ? o.transistor
             : series == Choice::CoreKind   ? o.core_kind
                                            : o.node) = int(i);
            gone_through.push_back(each);
        }
    }
    warn_non_finite_in(gone_through, run);
}

} // namespace

extern const Command budget_command{
    .name = "budget",
    .summary = "The best speedup and configuration as one limit varies over a range (for one "
               "option set, or a curve per value of an option with --series), or as two limits "
               "vary (a map, with the limit that binds at each point).",
    .add_options = add_budget_options,
    .run = run_budget_command,
    .warn_non_finite = warn_non_finite_in_budget,
};
