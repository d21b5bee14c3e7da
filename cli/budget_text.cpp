// budget's text: per option set, its limits, then a row per point (with the binding limit on
// a map).
#include "cli/report.h"

namespace {

std::string range_text(const LimitRange &r) {
    return std::string(caption_of(r.limit)) + " " + shortest(r.start) + " to " + shortest(r.end) +
           " " + unit_of(r.limit) + " by " + shortest(r.step);
}

// A compared option's value in a row, as wide as its heading (as in sweep's rows).
std::string option_column(Choice choice, const OptionSet &o) {
    const int index = choice == Choice::Workload     ? o.workload
                      : choice == Choice::Memory     ? o.memory
                      : choice == Choice::Transistor ? o.transistor
                      : choice == Choice::CoreKind   ? o.core_kind
                                                     : o.node;
    const int width = choice == Choice::Workload   ? 10
                      : choice == Choice::CoreKind ? 7
                      : choice == Choice::Node     ? 5
                                                   : 6;
    return format("%-*s ", width, choice_names(choice)[size_t(index)].c_str());
}

// The limits a curve's point binds on: "power+tsv", "-" for none.
std::string binding_limits(unsigned char set) {
    std::string text;
    for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv})
        if (set & (1 << int(limit))) {
            if (!text.empty())
                text += '+';
            text += limit_name(limit);
        }
    return text.empty() ? "-" : text;
}

std::string option_heading(Choice choice) {
    return choice == Choice::Workload     ? format("%-10s ", "workload")
           : choice == Choice::Memory     ? format("%-6s ", "memory")
           : choice == Choice::Transistor ? format("%-6s ", "trans.")
           : choice == Choice::CoreKind   ? format("%-7s ", "core")
                                          : format("%-5s ", "node");
}

} // namespace

std::string budget_text_header(const BudgetRequest &r, const BudgetSeries &s, bool first) {
    std::string text = first ? "" : "\n";
    text += "Options:  " +
            (r.best_over.empty() ? describe(s.options) : describe_except(s.options, r.best_over)) +
            "\n";
    std::vector<std::string> fixed;
    for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv}) {
        bool varied = false;
        for (const LimitRange &range : r.varied)
            varied = varied || range.limit == limit;
        if (!varied && (limit != Limit::Tsv || s.options.memory != 0))
            fixed.push_back(std::string(caption_of(limit)) + " " +
                            shortest(limit_value(s.limits, limit)) + " " + unit_of(limit));
    }
    std::string limits;
    for (const std::string &part : fixed)
        limits += part + ", ";
    text += "Limits:   " + limits + "varied: " + range_text(r.varied[0]);
    if (r.varied.size() > 1)
        text += ", " + range_text(r.varied[1]);
    text += "\n";
    const bool workloads_over =
        std::find(r.best_over.begin(), r.best_over.end(), Choice::Workload) != r.best_over.end();
    text += model_line(workloads_over ? std::nullopt : std::optional<int>(s.options.workload));
    if (r.varied.size() > 1 || r.binding)
        text += format("Binds:    the limits whose relaxation alone by %s %% changes the "
                       "optimum\n",
                       shortest(r.step * 100).c_str());
    if (!r.best_over.empty()) {
        std::string over;
        for (Choice choice : r.best_over)
            over += std::string(over.empty() ? "" : ", ") + choice_title(choice);
        text += "Best of:  every " + over +
                " at each point (ties: the first in the model's "
                "order; limits not given are each option set's own)\n";
    }
    std::string head;
    for (const LimitRange &range : r.varied)
        head += format("%10s ",
                       (std::string(limit_name(range.limit)) + " " + unit_of(range.limit)).c_str());
    for (Choice choice : r.best_over)
        head += option_heading(choice);
    return text + "\n" + head + (r.varied.size() > 1 || r.binding ? format("%-9s ", "binds") : "") +
           best_columns_header();
}

void append_budget_text_rows(std::string &text, const BudgetRequest &r, const BudgetSeries &s,
                             const BudgetChunk &chunk, size_t from, size_t to) {
    for (size_t i = from; i < to; i++) {
        const BestConfiguration b = best_in_chunk(r, s, chunk, i);
        for (const LimitRange &range : r.varied)
            text += format("%10s ", shortest(limit_value(b.limits, range.limit)).c_str());
        if (r.varied.size() > 1)
            text += format("%-9s ", binding_name(chunk.binding[i], r));
        else if (r.binding)
            text += format("%-9s ", binding_limits(chunk.binding[i]).c_str());
        for (Choice choice : r.best_over)
            text += option_column(choice, b.options);
        text += best_columns(b);
    }
}
