// What `wmic ALIAS call /?` prints: the class's methods, and their
// parameters in the order values given by position fill them.
#pragma once

#include <string>

struct ClassSchema;

std::wstring WmicMethodListText(const ClassSchema& schema);
