// The built program and its drawing module: a command that draws nothing loads no drawing
// library, a picture command loads them and draws, and a program without its module says so
// and still answers everything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string said; // standard output and error together
};

// Runs a shell command line and collects what it printed.
Outcome shell(const std::string &line) {
    FILE *pipe = popen(("{ " + line + "; } 2>&1").c_str(), "r");
    Outcome o{-1, {}};
    std::array<char, 4096> chunk;
    for (size_t n; (n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0;)
        o.said.append(chunk.data(), n);
    const int status = pclose(pipe);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

// The shared libraries a run of the program opens, as the dynamic loader reports them.
std::string libraries_of(const std::string &arguments) {
    return shell("LD_DEBUG=libs " + std::string(CLI_PROGRAM) + " " + arguments + " >/dev/null")
        .said;
}

const char *const kDrawingLibraries[] = {"libcairo", "libX11", "libfontconfig", "libfreetype"};

TEST(DrawingModule, CommandsThatDrawNothingLoadNoDrawingLibrary) {
    for (const char *arguments : {"search", "sweep --node 32nm", "explain", "--version",
                                  "budget --vary power=10:100:10", "plot --chart space"}) {
        const std::string loaded = libraries_of(arguments);
        ASSERT_NE(loaded.find("libc.so"), std::string::npos) << "no loader report: " << loaded;
        for (const char *library : kDrawingLibraries)
            EXPECT_EQ(loaded.find(library), std::string::npos) << arguments << " loads " << library;
    }
}

// The C++ runtime and the TOML reader are linked into the program: a command, with or without a
// model file, starts by loading the C library alone. The sanitizers' builds use the shared
// runtime they are made for.
#if !defined(__SANITIZE_ADDRESS__)
TEST(DrawingModule, CommandsLoadNeitherTheCxxRuntimeNorTheTomlReader) {
    const fs::path model = fs::path(testing::TempDir()) / "same-model.toml";
    FILE *file = fopen(model.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("format_version = 1\nextends = \"built-in\"\n", file);
    fclose(file);
    for (const std::string &arguments :
         {std::string("search"), std::string("--version"), "search --model " + model.string()}) {
        const std::string loaded = libraries_of(arguments);
        ASSERT_NE(loaded.find("libc.so"), std::string::npos) << "no loader report: " << loaded;
        for (const char *library : {"libstdc++", "libgcc_s", "libtomlplusplus"})
            EXPECT_EQ(loaded.find(library), std::string::npos) << arguments << " loads " << library;
    }
    fs::remove(model);
}
#endif

TEST(DrawingModule, PictureCommandsLoadItAndDraw) {
    const fs::path folder = fs::path(testing::TempDir()) / "drawing-module";
    fs::create_directories(folder);
    const fs::path picture = folder / "scaling.png";
    const std::string loaded = libraries_of("plot --chart scaling -o " + picture.string());
    for (const char *library : kDrawingLibraries)
        EXPECT_NE(loaded.find(library), std::string::npos) << library;
    ASSERT_TRUE(fs::exists(picture));
    EXPECT_GT(fs::file_size(picture), 10000u);
    fs::remove_all(folder);
}

// A copy of the program alone in a folder: pictures fail with one line naming the module and
// where it was looked for, exit status 1, no file; everything else works.
TEST(DrawingModule, WithoutItsModuleAPictureSaysWhyAndNothingIsWritten) {
    const fs::path folder = fs::path(testing::TempDir()) / "program-alone";
    fs::create_directories(folder);
    const fs::path program = folder / "cpu-widget-cli", picture = folder / "space.svg";
    fs::copy_file(CLI_PROGRAM, program, fs::copy_options::overwrite_existing);
    const Outcome drawn =
        shell(program.string() + " pareto -o " + picture.string() + " >/dev/null");
    EXPECT_EQ(drawn.status, 1) << drawn.said;
    EXPECT_NE(drawn.said.find("cannot draw pictures: cpu-widget-pictures.so is neither beside the "
                              "program (" +
                              (folder / "cpu-widget-pictures.so").string() + ")"),
              std::string::npos)
        << drawn.said;
    EXPECT_EQ(std::count(drawn.said.begin(), drawn.said.end(), '\n'), 1) << drawn.said;
    EXPECT_FALSE(fs::exists(picture));
    EXPECT_EQ(shell(program.string() + " search --format csv").status, 0);
    fs::remove_all(folder);
}

} // namespace
