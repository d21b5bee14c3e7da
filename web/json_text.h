// JSON text of what the page's engine answers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// JSON string literal of a text.
std::string json_string(std::string_view text);

// JSON array of texts.
std::string json_strings(const std::vector<std::string> &texts);
