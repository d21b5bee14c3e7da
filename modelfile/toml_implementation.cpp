// The TOML reader's own code, compiled once into the programs that read model files and chip
// tables instead of loading the shared library: a command starts without loading it and the
// C++ runtime it brings. The other files include the reader's declarations only.
#define TOML_IMPLEMENTATION
#include <toml++/toml.h>
