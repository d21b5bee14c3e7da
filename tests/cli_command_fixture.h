// What the end-to-end tests of cpu-widget-cli share: a scratch folder of its own for each test
// and the program run as a separate process, its streams captured.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "model/state.h"
#include "search/trace.h"
#include "tests/cli_in_process.h"

extern char **environ;

namespace fs = std::filesystem;

using Outcome = CliOutcome;

inline std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Standard output closed, as by ">&-".
inline const fs::path kClosed = "<closed>";

// A scratch folder of its own for each test.
class CliCommand : public testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("cli_command_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        trace_set_enabled(false);
    }
    void TearDown() override {
        fs::remove_all(folder);
        reset_design_state();
        trace_set_enabled(true);
    }

    // Runs the program with standard output and error captured in files (standard output in
    // another file when one is given, or closed).
    Outcome run(const std::vector<std::string> &arguments, const fs::path &output = {},
                const char *program = CLI_PROGRAM) {
        std::vector<char *> argv{const_cast<char *>(program)};
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        const fs::path out = output.empty() ? folder / "stdout" : output;
        const fs::path err = folder / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (output == kClosed)
            posix_spawn_file_actions_addclose(&actions, 1);
        else
            posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t child;
        Outcome outcome;
        if (posix_spawn(&child, program, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(child, &status, 0);
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (output.empty() || output == kClosed) {
            outcome.out = slurp(out);
            fs::remove(out);
        }
        outcome.err = slurp(err);
        fs::remove(err);
        return outcome;
    }

    fs::path folder;
};

inline size_t count_lines(const std::string &text) {
    return size_t(std::count(text.begin(), text.end(), '\n'));
}
