// The named values of /params:: one JSON object, given on the command line or
// in a file ("@PATH").
#pragma once

class Layout;
struct RunSettings;

// Objects nest at most this deep, embedded objects of embedded objects
// included.
inline constexpr int kMaxParamsNesting = 32;

// Parses settings.argParams into settings.params. Returns false, with its
// message printed, when the file cannot be read, the text is not one JSON
// object, an object names a member twice (compared without case, as WMI
// compares names), or objects nest too deep.
bool ReadParams(RunSettings& settings, Layout& layout);
