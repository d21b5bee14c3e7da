// The shortest text that reads back to the same double, as std::to_chars(first, last, value)
// writes it: the fewest significant digits that round-trip (the nearest such digits to the
// value), in fixed or scientific notation, whichever is shorter (fixed on a tie). For a C++
// library without the floating-point to_chars.
#pragma once

#include <cstddef>

// Writes into [first, last); returns the end of the text, or nullptr when it does not fit.
char *shortest_chars(char *first, char *last, double value);

// The same text, its digits always found with the C library (printf and strtod), as
// shortest_chars finds them outside the browser: the reference the browser's digits are held to.
char *shortest_chars_searched(char *first, char *last, double value);
