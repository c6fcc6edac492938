#include "base/output.h"
#include "cli/run_main.h"
#include "wmi/com_wmi_access.h"

int wmain(int argc, wchar_t** argv) {
  ComWmiAccess wmi;
  StdoutSink out;
  return RunMain(argc, argv, wmi, out);
}
