// The helpers that every command's run shares (cli/command.h).
#include "cli/command.h"

#include <cerrno>
#include <cstring>

#include "charts/image_file.h"

std::string one_line(const std::string &message) {
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
    release_drawing_caches();
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
