// The helpers that every command's run shares (cli/command.h).
#include "cli/command.h"

#include <cerrno>
#include <cstring>

#include "pictures/drawing_module.h"
#include "study/choices.h"

std::string one_line(const std::string &message) {
    return escape_controls(message);
}

void say(FILE *err, const std::string &message) {
    fprintf(err, "%s: %s\n", kProgram, one_line(message).c_str());
    fflush(err);
}

bool emit(FILE *out, FILE *err, const std::string &text) {
    errno = 0;
    const bool written = fwrite(text.data(), 1, text.size(), out) == text.size();
    if (fflush(out) == 0 && written && !ferror(out))
        return true;
    say(err,
        std::string("cannot write the output: ") + (errno != 0 ? strerror(errno) : "write error"));
    return false;
}

int finished(Output &out, FILE *err) {
    if (out.finish())
        return 0;
    say(err, std::string("cannot write the output: ") +
                 (out.error() != 0 ? strerror(out.error()) : "write error"));
    return 1;
}

TableFormat table_format(const std::string &format) {
    return format == "csv" ? TableFormat::Csv : TableFormat::Json;
}

int write_table(const Table &table, const std::string &format, Output &out, FILE *err) {
    TableWriter writer(out, table_format(format));
    writer.write(table);
    writer.finish();
    return finished(out, err);
}

int drawn(const std::string &failure, FILE *err) {
    release_loaded_drawing_caches();
    if (failure.empty())
        return 0;
    say(err, failure);
    return 1;
}

void warn_non_finite_in(const std::vector<Request> &option_sets, const Invocation &run) {
    const std::string warning = non_finite_warning(non_finite_figures(option_sets, jobs_of(run.a)));
    if (!warning.empty())
        say(run.err, warning);
}

void scans_nothing(const Invocation &, const std::vector<Request> &) {}
