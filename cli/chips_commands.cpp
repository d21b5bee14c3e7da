#include "cli/chips_commands.h"

#include <cstring>
#include <filesystem>

#include "chips/calibration.h"
#include "chips/evaluation_columns.h"
#include "cli/chips_chart.h"
#include "cli/evaluate_text.h"
#include "modelfile/whole_file.h"

namespace {

void say(FILE *err, const std::string &message) {
    std::string line;
    for (unsigned char c : message)
        line += c >= 0x20 && c != 0x7f ? char(c) : ' ';
    fprintf(err, "cpu-widget-cli: %s\n", line.c_str());
    fflush(err);
}

int finished(Output &out, FILE *err) {
    if (out.finish())
        return 0;
    say(err, std::string("cannot write the output: ") +
                 (out.error() != 0 ? strerror(out.error()) : "write error"));
    return 1;
}

int write_table(const Table &table, const std::string &format, Output &out, FILE *err) {
    TableWriter writer(out, format == "csv" ? TableFormat::Csv : TableFormat::Json);
    writer.write(table);
    writer.finish();
    return finished(out, err);
}

// The table named, or the shipped one; refused: every problem said, none.
std::optional<ChipTable> chips_of(const std::string &path, FILE *err) {
    ChipTable table = path.empty() ? parse_chip_table(shipped_chip_table_text(),
                                                      kShippedChipTable, active_model())
                                   : read_chip_table(path, active_model());
    if (table.errors.empty())
        return table;
    for (const std::string &error : table.errors)
        say(err, error);
    return std::nullopt;
}

// How the calibrated file names the model it extends: "built-in", or the model file's path
// relative to the new file's folder.
std::string extends_of(const std::string &target) {
    const std::string &source = active_model().source;
    if (source == "built-in")
        return source;
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::path folder = fs::absolute(fs::path(target), failed).parent_path();
    const fs::path relative = fs::absolute(source, failed).lexically_relative(folder);
    return failed || relative.empty() ? source : relative.string();
}

} // namespace

int run_evaluate(const EvaluationRequest &r, const std::string &format, bool breakdown,
                 Output &out, FILE *err) {
    const Evaluation e = evaluate(active_model(), r);
    if (!e.error.empty()) {
        say(err, "--" + e.error);
        return 2;
    }
    if (format != "text")
        return write_table(evaluation_table({e}, breakdown), format, out, err);
    out.text() += evaluation_text(e, breakdown);
    return finished(out, err);
}

int run_validate(const std::string &path, const std::string &format, const std::string &picture,
                 Output &out, FILE *err) {
    const std::optional<ChipTable> table = chips_of(path, err);
    if (!table)
        return 2;
    const Validation v = validate(active_model(), table->chips);
    const std::string name = path.empty() ? kShippedChipTable : path;
    if (!picture.empty()) {
        const std::string failure = write_validation_chart(v, table->chips, name, picture,
                                                           *image_format_of(picture));
        release_drawing_caches();
        if (!failure.empty()) {
            say(err, failure);
            return 1;
        }
    }
    if (format != "text")
        return write_table(validation_table(v, table->chips), format, out, err);
    out.text() += "Chips:    " + name + "\n" +
                  validation_text(v, table->chips, active_model().source);
    return finished(out, err);
}

int run_calibrate(const std::string &path, const std::string &fit, const std::string &target,
                  const std::string &how, Output &out, FILE *err) {
    const std::optional<ChipTable> table = chips_of(path, err);
    if (!table)
        return 2;
    const Calibration c = calibrate(active_model(), table->chips, field_list(fit));
    if (!c.error.empty()) {
        say(err, c.error);
        return 2;
    }
    const std::string text = calibrated_model_text(c, table->chips, extends_of(target), how);
    const std::string failure = write_whole_file(target, text);
    if (!failure.empty()) {
        say(err, "cannot write '" + target + "': " + failure);
        return 1;
    }
    out.text() += "Chips:    " + (path.empty() ? std::string(kShippedChipTable) : path) +
                  "\nModel:    " + active_model().source + "\nWritten:  " + target +
                  " (extends " + extends_of(target) + ")\n\n" + calibration_text(c);
    return finished(out, err);
}

std::string held_search_text(const EvaluationRequest &r) {
    return held_configuration_text(evaluate(active_model(), r));
}
