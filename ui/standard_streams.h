// The window's standard streams, made safe before anything else opens a file.
#pragma once

// Opens /dev/null on each of file descriptors 0, 1 and 2 that is not open, so that no file the
// program opens later (the X connection first) takes the place of standard output and
// receives the trace. Ignores SIGPIPE, so that a trace whose reader has gone is a failed write
// (said once on standard error) rather than the end of the window.
void secure_standard_streams();
