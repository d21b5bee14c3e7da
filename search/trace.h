// The program's trace and result lines on standard output: the searches' power and summary
// lines, and the window's option and scale lines. Every line goes through here, so that their
// order holds and a program without a console use (the command-line tool) can turn them off.
#pragma once

void trace_power(double power); // "power_W_result1 = %lf\n"
void trace_summary(double speedup, double scale, double cache_mb, double cores); // four lines
void trace_option(int option_index, int value);                                  // "%d %d\n"
void trace_scale(int scale_index);                                               // "%d\n"

// Hands the lines gathered during a search to standard output's stream; the searches call it
// as they return, so that whatever their caller prints next follows their lines.
void trace_search_end();

// Pushes what has been traced so far out to standard output. The first time standard output
// refuses it (a full disk, a closed pipe), one line on standard error says so; the program
// goes on, and the lines that cannot be written are lost.
void trace_flush();

// Lines are written by default; disabled, they are dropped.
void trace_set_enabled(bool enabled);
