// cpu-widget-cli: the design-space explorer without its window (see cli/run.h).
#include <cstdio>

#include "cli/run.h"

int main(int argc, char **argv) {
    return run_cli(argc, argv, stdout, stderr);
}
