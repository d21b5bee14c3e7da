// A table as the tool writes it, CSV or JSON, into a string.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/output.h"

// chunk: rows per write (0: the table in one write), so that chunked writes can be compared.
inline std::string written(const Table &table, TableFormat format, size_t chunk = 0) {
    char *data = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&data, &size);
    {
        Output out(stream);
        TableWriter writer(out, format);
        if (chunk == 0) {
            writer.write(table);
        } else {
            for (size_t first = 0; first < table.rows(); first += chunk) {
                Table part = table;
                part.clear_rows();
                for (size_t r = first; r < std::min(table.rows(), first + chunk); r++)
                    for (size_t c = 0; c < table.columns.size(); c++) {
                        const Column &from = table.columns[c];
                        Column &to = part.columns[c];
                        if (!from.present(r))
                            to.add_none();
                        else if (from.type() == ColumnType::Number)
                            to.add_number(from.number(r));
                        else
                            to.add_integer(from.integer(r));
                    }
                writer.write(part);
            }
        }
        writer.finish();
    }
    fclose(stream);
    std::string text(data, size);
    free(data);
    return text;
}
