#include "study/choices.h"

#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstdio>

#include "model/model.h"

namespace {

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::optional<int> index_on_axis(const double *axis, int count, double value) {
    for (int i = 0; i < count; i++)
        if (axis[i] == value)
            return i;
    return std::nullopt;
}

std::string join_axis(const double *axis, int count) {
    std::string text;
    for (int i = 0; i < count; i++) {
        text += i ? ", " : "";
        text += shortest(axis[i]);
    }
    return text;
}

} // namespace

std::optional<Choice> series_choice(std::string_view text) {
    for (auto [name, choice] : {std::pair{"workload", Choice::Workload},
                                {"memory", Choice::Memory},
                                {"transistor", Choice::Transistor},
                                {"core", Choice::CoreKind},
                                {"node", Choice::Node}})
        if (same_letters(text, name))
            return choice;
    return std::nullopt;
}

std::vector<std::string> choice_names(Choice choice) {
    const Model &m = active_model();
    std::vector<std::string> names;
    auto add = [&names](const auto &entries) {
        for (const OptionName &entry : entries)
            names.push_back(entry.name);
    };
    switch (choice) {
    case Choice::Workload:
        add(m.workloads);
        break;
    case Choice::Memory:
        add(m.memory_kinds);
        break;
    case Choice::Transistor:
        add(m.transistor_kinds);
        break;
    case Choice::CoreKind:
        add(m.core_kinds);
        break;
    case Choice::Node:
        add(m.nodes);
        break;
    }
    return names;
}

std::optional<int> find_choice(Choice choice, std::string_view text) {
    const std::vector<std::string> names = choice_names(choice);
    for (size_t i = 0; i < names.size(); i++)
        if (same_letters(names[i], text))
            return int(i);
    return std::nullopt;
}

std::string choice_list(Choice choice) {
    std::string text;
    for (const std::string &name : choice_names(choice)) {
        text += text.empty() ? "" : ", ";
        text += name;
    }
    return text;
}

std::string describe(const OptionSet &o) {
    return describe_except(o, {});
}

std::string describe_except(const OptionSet &o, const std::vector<Choice> &left_out) {
    const Model &m = active_model();
    const std::pair<Choice, std::string> parts[] = {
        {Choice::Workload, m.workloads[o.workload].name},
        {Choice::Memory, m.memory_kinds[o.memory ? 1 : 0].description},
        {Choice::Transistor, m.transistor_kinds[o.transistor].name},
        {Choice::CoreKind, m.core_kinds[o.core_kind].name},
        {Choice::Node, m.nodes[o.node].name},
    };
    std::string text;
    for (const auto &[choice, name] : parts)
        if (std::find(left_out.begin(), left_out.end(), choice) == left_out.end())
            text += (text.empty() ? "" : ", ") + name;
    return text;
}

const char *choice_title(Choice choice) {
    switch (choice) {
    case Choice::Workload:
        return "workload";
    case Choice::Memory:
        return "memory kind";
    case Choice::Transistor:
        return "transistor kind";
    case Choice::CoreKind:
        return "core kind";
    case Choice::Node:
        break;
    }
    return "technology node";
}

std::optional<int> core_count_index(double cores) {
    return index_on_axis(active_model().core_counts.data(), kCoreCounts, cores);
}
std::optional<int> cache_size_index(double megabytes) {
    return index_on_axis(active_model().cache_sizes.data(), kCacheSizes, megabytes);
}
std::optional<int> scale_step_index(double step) {
    return index_on_axis(active_model().scale_steps.data(), kScaleSteps, step);
}

std::string core_count_list() {
    return join_axis(active_model().core_counts.data(), kCoreCounts);
}
std::string cache_size_list() {
    return join_axis(active_model().cache_sizes.data(), kCacheSizes);
}
std::string scale_step_list() {
    std::string text;
    for (int i = 0; i < kScaleSteps; i++) {
        text += i ? ", " : "";
        text += step_text(active_model().scale_steps[i]);
    }
    return text;
}

std::optional<double> parse_number(std::string_view text) {
    // from_chars takes a leading minus but no plus; a plus is allowed before a digit or point.
    if (text.size() > 1 && text[0] == '+' && (text[1] == '.' || (text[1] >= '0' && text[1] <= '9')))
        text.remove_prefix(1);
    double value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value == 0 ? 0.0 : value; // "-0" is the limit 0, printed as 0
}

std::string shortest(double value) {
    char text[32];
    auto [stop, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, stop) : std::string("nan");
}

std::string parallel_fraction_text(std::optional<int> workload) {
    const Model &m = active_model();
    // + 0.0: a fraction of -0 reads as 0.
    if (workload)
        return shortest(parallel_fraction_of(m, *workload) + 0.0);
    std::string own;
    for (const WorkloadRecord &w : m.workloads)
        if (w.parallel_fraction && *w.parallel_fraction != m.parallel_fraction) {
            own += own.empty() ? " (" : ", ";
            own += w.name + " " + shortest(*w.parallel_fraction + 0.0);
        }
    return shortest(m.parallel_fraction + 0.0) + (own.empty() ? "" : own + ")");
}

std::string step_text(double step) {
    char text[32];
    auto [stop, error] = std::to_chars(text, text + sizeof text, step, std::chars_format::fixed, 1);
    double back = 0;
    if (error == std::errc() && std::from_chars(text, stop, back).ec == std::errc() && back == step)
        return std::string(text, stop);
    return shortest(step);
}

std::string escape_controls(std::string_view message) {
    std::string line;
    for (size_t i = 0; i < message.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(message[i]);
        const unsigned char next = i + 1 < message.size() ? message[i + 1] : 0;
        const unsigned char third = i + 2 < message.size() ? message[i + 2] : 0;
        // C1 controls (U+0080..U+009F), the line and paragraph separators (U+2028, U+2029) and
        // the bidirectional overrides and isolates (U+202A..U+202E, U+2066..U+2069), which
        // break the line or reorder what the terminal shows, as "\u0085".
        unsigned code = 0;
        if (c == 0xc2 && next >= 0x80 && next <= 0x9f)
            code = next;
        else if (c == 0xe2 && next == 0x80 && third >= 0xa8 && third <= 0xae)
            code = 0x2000 + third - 0x80;
        else if (c == 0xe2 && next == 0x81 && third >= 0xa6 && third <= 0xa9)
            code = 0x2040 + third - 0x80;
        if (code != 0) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", code);
            line += escape;
            i += code < 0x100 ? 1 : 2;
            continue;
        }
        if (c >= 0x20 && c != 0x7f) {
            line += char(c);
            continue;
        }
        const char *named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
        char escape[8];
        if (named == nullptr)
            snprintf(escape, sizeof escape, "\\x%02x", c);
        line += named != nullptr ? named : escape;
    }
    return line;
}
