#include <memory>

#include "base/output.h"
#include "base/progress_line.h"
#include "cli/console_stop.h"
#include "cli/run_main.h"
#include "wmi/com_wmi_access.h"

int wmain(int argc, wchar_t** argv) {
  ComWmiAccess wmi;
  StdoutSink out;
  const std::unique_ptr<ProgressLine> progress = MakeStderrProgressLine();
  ConsoleStopRequest stop;
  return RunMain(argc, argv, wmi, out, progress.get(), &stop);
}
