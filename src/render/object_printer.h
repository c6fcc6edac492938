// Prints one WMI object in the list or CSV layout.
#pragma once

#include "wmi/wmi_access.h"

// Returns 0 when every property was printed, 1 when one could not be read.
int PrintObjectProperties(WmiAccess& wmi, const WmiObject& object);
