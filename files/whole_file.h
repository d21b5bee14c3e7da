// Files that the tool writes (pictures, model files) replaced whole or not at all: the bytes go
// to a temporary file beside the file they replace, renamed over it once every byte is written.
#pragma once

#include <string>

// Writes bytes to path. A symbolic link is followed and its target replaced (the link stays); an
// existing file keeps its permissions (a new one gets those of any new file); a device or pipe
// is written into directly. Over a file-size limit the write fails with EFBIG instead of ending
// the process. Returns an empty string, or why the file was not written (errno's text); no
// temporary file is left either way.
std::string replace_file(const std::string &path, const std::string &bytes);
