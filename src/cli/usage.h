// The usage text and the product version read from the running executable.
#pragma once

#include <string>

class OutputSink;

// The ProductVersion of this executable's version resource, or "Unkonwn" when
// it cannot be read.
std::wstring GetProductVersion();

void PrintUsage(OutputSink& out);
