#include "wmi/wmi_access.h"

void WmiHandleRelease::operator()(void* handle) const {
  if (owner && handle) owner->ReleaseHandle(handle);
}
