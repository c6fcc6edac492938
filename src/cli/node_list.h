// The machines a run works on (/node:), and the limits of such a run.
#pragma once

#include <string>
#include <vector>

class Layout;

// The names of a /node: value: a comma-separated list (spaces around a name
// trimmed, empty items skipped), or "@" and the path of a text file with one
// name a line (UTF-8 with or without a BOM, or UTF-16LE with a BOM; blank
// lines and lines starting with "#" skipped; a disk file of at most 16 MiB).
// Names are kept in order, repeats included, each without the "\\" it may be
// written with. Returns false, with its message printed and `names` empty,
// when the file cannot be read, no name is found, or a name cannot be a
// machine's (empty, longer than 255 characters, or holding "\", "/", a space
// or a control character).
// With `commasInFile`, a line of the file may name several machines, comma
// separated, as wmic's node files do.
bool ReadNodeList(const std::wstring& value, Layout& layout, std::vector<std::wstring>& names,
                  bool commasInFile = false);

// Reads a whole number from `lowest` to `highest` written in plain digits.
bool ParseWholeNumber(const std::wstring& text, int lowest, int highest, int& number);
