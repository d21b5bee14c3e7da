#include "study/records.h"

#include <cstdarg>
#include <cstdio>

#include "model/model.h"
#include "study/choices.h"

std::string format(const char *pattern, ...) {
    va_list args, copy;
    va_start(args, pattern);
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0)
        vsnprintf(text.data(), text.size() + 1, pattern, args);
    va_end(args);
    return text;
}

const char *unit_of(Limit limit) {
    return limit == Limit::Area ? "mm^2" : limit == Limit::Power ? "W" : "GB/s";
}

const char *caption_of(Limit limit) {
    return limit == Limit::Area        ? "area"
           : limit == Limit::Power     ? "power"
           : limit == Limit::Bandwidth ? "off-chip bandwidth"
                                       : "TSV bandwidth";
}

double limit_value(const LimitValues &l, Limit limit) {
    return limit == Limit::Area        ? l.area
           : limit == Limit::Power     ? l.power
           : limit == Limit::Bandwidth ? l.bandwidth
                                       : l.tsv;
}

namespace {

std::vector<std::string> limit_names(const std::vector<Limit> &limits) {
    std::vector<std::string> names;
    for (Limit limit : limits)
        names.push_back(limit_name(limit));
    return names;
}

} // namespace

Record option_fields(const OptionSet &o) {
    return Record{
        {"workload", choice_names(Choice::Workload)[o.workload]},
        {"memory", choice_names(Choice::Memory)[o.memory]},
        {"transistor", choice_names(Choice::Transistor)[o.transistor]},
        {"core", choice_names(Choice::CoreKind)[o.core_kind]},
        {"node", choice_names(Choice::Node)[o.node]},
    };
}

Record best_record(const BestConfiguration &b) {
    const OptionSet &o = b.options;
    const bool stacked = o.memory != 0;
    auto when = [&](auto value) -> Field {
        if (b.feasible)
            return value;
        return std::monostate{};
    };
    Record record = option_fields(o);
    Record rest{
        {"area_limit_mm2", b.limits.area},
        {"power_limit_w", b.limits.power},
        {"bandwidth_limit_gbps", b.limits.bandwidth},
        {"tsv_limit_gbps", stacked ? Field(b.limits.tsv) : Field()},
        {"feasible", b.feasible},
        {"speedup", when(b.speedup)},
        {"cores", when(int(active_model().core_counts[b.cores]))},
        {"cache_mb", when(int(active_model().cache_sizes[b.cache]))},
        {"scale", when(active_model().scale_steps[b.scale])},
        {"vdd_v", when(b.vdd)},
        {"freq_ghz", when(b.freq)},
        {"area_mm2", when(b.figures.area)},
        {"power_w", when(b.figures.power)},
        {"bandwidth_gbps", when(b.figures.bandwidth)},
        {"tsv_bandwidth_gbps", stacked ? when(b.figures.bandwidth_tsv) : Field()},
        {"unmeetable_limits", limit_names(b.unmeetable)},
    };
    record.insert(record.end(), rest.begin(), rest.end());
    return record;
}

Record space_record(const SpaceRow &row, bool stacked) {
    const ConfigurationFigures &f = row.figures;
    return Record{
        {"scale", active_model().scale_steps[row.scale]},
        {"vdd_v", row.vdd},
        {"freq_ghz", row.freq},
        {"cores", int(active_model().core_counts[row.cores])},
        {"cache_mb", int(active_model().cache_sizes[row.cache])},
        {"area_mm2", f.area},
        {"power_w", f.power},
        {"bandwidth_gbps", f.bandwidth},
        {"tsv_bandwidth_gbps", stacked ? Field(f.bandwidth_tsv) : Field()},
        {"speedup", f.speedup},
        {"breaks_area", row.breaks[int(Limit::Area)]},
        {"breaks_power", row.breaks[int(Limit::Power)]},
        {"breaks_bandwidth", row.breaks[int(Limit::Bandwidth)]},
        {"breaks_tsv", stacked ? Field(row.breaks[int(Limit::Tsv)]) : Field()},
        {"feasible", row.feasible()},
    };
}
