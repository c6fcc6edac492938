// Reads Tollix's JSON Lines with an independent parser (nlohmann::json).
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// UTF-8 of a wide text, as the program writes it to a file or pipe.
std::string Utf8(const std::wstring& text);

// Every line of `output`, each parsed on its own, members kept in their
// order. Records a test failure for a line that is not one JSON object
// followed by exactly one CR LF.
std::vector<nlohmann::ordered_json> ParseJsonLines(const std::wstring& output);
std::vector<nlohmann::ordered_json> ParseJsonLines(const std::string& utf8Output);
