// How many searches have run since the program started (each calls trace_search_end).
#pragma once

unsigned long searches_run();
