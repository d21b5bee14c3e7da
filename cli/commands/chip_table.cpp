#include "cli/commands/chip_table.h"

#include "cli/command.h"

std::optional<ChipTable> chip_table_of(const std::string &path, FILE *err) {
    ChipTable table = path.empty() ? parse_chip_table(shipped_chip_table_text(), kShippedChipTable,
                                                      active_model())
                                   : read_chip_table(path, active_model());
    if (table.errors.empty())
        return table;
    for (const std::string &error : table.errors)
        say(err, error);
    return std::nullopt;
}
