// The machines a run works on (/node:), and the limits of such a run.
#pragma once

#include <string>
#include <vector>

class Layout;

// The names of a /node: value: a comma-separated list (spaces around a name
// trimmed, empty items skipped), or "@" and the path of a text file with one
// name a line (UTF-8 with or without a BOM, or UTF-16LE with a BOM; blank
// lines and lines starting with "#" skipped). Names are kept as given and in
// order, repeats included. Returns false, with its message printed, when the
// file cannot be read or no name is found.
bool ReadNodeList(const std::wstring& value, Layout& layout, std::vector<std::wstring>& names);

// Reads a whole number from `lowest` to `highest` written in plain digits.
bool ParseWholeNumber(const std::wstring& text, int lowest, int highest, int& number);
