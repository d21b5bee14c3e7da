// One call that sets an option and reruns a search.
#pragma once

// User_Option[option_index] = option_value cut toward zero. An index outside 0 to 11, a value
// that is not a finite number in int range, or one that would send a search outside its
// tables changes nothing and is reported on standard error.
void User_Option_set(int option_index, double option_value);

// Sets the option, then searches the whole design space: speedup_max(0, 0, 0).
double SpeedUp_Max_core_L2_Scale(int option_index, double option_value);

// Sets the option, then searches the cache sizes only, core count and scale step held:
// speedup_max(1, 0, 1).
double SpeedUp_Max_L2(int option_index, double option_value);
