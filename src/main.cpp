#include "cli/output.h"
#include "cli/run_main.h"
#include "wmi/com_wmi_access.h"

int wmain(int argc, wchar_t** argv) {
  ComWmiAccess wmi;
  const int exitCode = RunMain(argc, argv, wmi);
  FlushOutput();
  return exitCode;
}
