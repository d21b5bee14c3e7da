#include "python/research.h"

#include <cmath>

#include "python/arguments.h"
#include "study/choices.h"
#include "study/sensitivity.h"

namespace py = pybind11;

namespace {

[[noreturn]] void refuse(const std::string &name, const std::string &why,
                         const std::string &accepted) {
    raise_value_error(name + ": " + why + "; accepted: " + accepted);
}

std::string shown(const py::handle &value) {
    return py::repr(value).cast<std::string>();
}

} // namespace

Objective objective_of(const py::kwargs &given) {
    const std::string accepted =
        std::string("one of ") + kObjectiveList + " (default speedup; docs/model.md)";
    if (!given.contains("objective") || given["objective"].is_none())
        return Objective::Speedup;
    const py::object value = given["objective"];
    if (!py::isinstance<py::str>(value))
        refuse("objective", shown(value) + " is not text", accepted);
    const std::optional<Objective> o = objective_named(value.cast<std::string>());
    if (!o)
        refuse("objective", shown(value) + " is not an objective", accepted);
    return *o;
}

bool flag_of(const py::kwargs &given, const char *name) {
    if (!given.contains(name) || given[name].is_none())
        return false;
    const py::object value = given[name];
    if (!is_flag(value))
        refuse(name, shown(value) + " is not True or False", "True or False (default False)");
    return PyObject_IsTrue(value.ptr()) == 1;
}

std::vector<ParetoObjective> pareto_objectives_of(const py::kwargs &given) {
    if (!given.contains("objectives") || given["objectives"].is_none())
        return ParetoRequest{}.objectives;
    const py::object value = given["objectives"];
    std::string text;
    if (py::isinstance<py::str>(value)) {
        text = value.cast<std::string>();
    } else if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
        for (const py::handle item : value) {
            if (!py::isinstance<py::str>(item))
                refuse("objectives", shown(item) + " is not text", kParetoObjectiveList);
            text += (text.empty() ? "" : ",") + item.cast<std::string>();
        }
    } else {
        refuse("objectives", shown(value) + " is not text or a list", kParetoObjectiveList);
    }
    std::string error;
    const std::optional<std::vector<ParetoObjective>> objectives =
        parse_pareto_objectives(text, error);
    if (!objectives)
        refuse("objectives", error, kParetoObjectiveList);
    return *objectives;
}

double spread_of(const py::kwargs &given) {
    const std::optional<double> value = number_of(given, "spread", kSpreadAccepted);
    if (!value)
        return 0.1;
    if (!(*value > 0 && *value < 100))
        refuse("spread", echoed(given, "spread", *value, Echo::Repr) + " is out of range",
               kSpreadAccepted);
    return *value / 100;
}

UncertaintyRequest uncertainty_request_of(const py::kwargs &given, const Request &request) {
    UncertaintyRequest u;
    u.request = Request{request.options, request.limits, {}};
    u.samples =
        size_t(whole_number_of(given, "samples", 1, kMostSamples,
                               "a whole number from 1 to 100,000,000 (default 1000)", Echo::Repr)
                   .value_or(1000));
    u.seed =
        uint64_t(whole_number_of(given, "seed", 0, 9007199254740992.0,
                                 "a whole number from 0 to 9007199254740992 (default 1); the same "
                                 "seed gives the same output whatever jobs",
                                 Echo::Repr)
                     .value_or(1));
    u.first = size_t(whole_number_of(given, "first_sample", 0, kMostSamples,
                                     "a whole number from 0 to 100,000,000 (default 0)", Echo::Repr)
                         .value_or(0));
    u.spread = spread_of(given);
    if (given.contains("ranges") && !given["ranges"].is_none()) {
        const char *accepted = "a dict of field name: (low, high), fields named as sensitivity "
                               "names them";
        const py::object ranges = given["ranges"];
        if (!py::isinstance<py::dict>(ranges))
            refuse("ranges", shown(ranges) + " is not a dict", accepted);
        for (const auto &[name, range] : py::reinterpret_borrow<py::dict>(ranges)) {
            if (!py::isinstance<py::str>(name) || !py::isinstance<py::sequence>(range) ||
                py::isinstance<py::str>(range) || py::len(range) != 2)
                refuse("ranges", shown(name) + ": " + shown(range) + " is not a (low, high) pair",
                       accepted);
            const py::sequence pair = py::reinterpret_borrow<py::sequence>(range);
            double ends[2];
            for (int i = 0; i < 2; i++) {
                const py::object end = pair[size_t(i)];
                static const py::handle numpy_number = numpy_type("number");
                if (is_flag(end) ||
                    !(py::isinstance<py::int_>(end) || py::isinstance<py::float_>(end) ||
                      py::isinstance(end, numpy_number)) ||
                    py::isinstance<py::str>(end))
                    refuse("ranges",
                           shown(name) + ": " + shown(range) + " is not a (low, high) pair",
                           accepted);
                ends[i] = py::float_(end).cast<double>();
            }
            u.ranges[name.cast<std::string>()] = FieldRange{ends[0], ends[1]};
        }
        std::string refused = uncertainty_error(u);
        if (!refused.empty()) {
            refused.erase(0, 2); // "--ranges: " names the tool's option
            raise_value_error(refused);
        }
    }
    return u;
}
