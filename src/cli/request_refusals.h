// The requests refused before the banner: switches that exclude each other,
// or that need another, and values that cannot be used as given.
#pragma once

#include <string>

class Layout;
class OutputSink;
struct RunSettings;

// Prints the first refusal that applies and returns false; true when none
// does.
bool RequestIsUsable(const RunSettings& settings, Layout& layout, OutputSink& out);

// A WMI class name: letters, digits and "_", not starting with a digit. Such
// a name can stand as an object path of its own.
bool IsClassName(const std::wstring& name);
