// The conversion run behind Button_Start: one workbook (single-file mode) or
// every workbook of a folder (batch mode), through the active engine.
#pragma once

#include "app/run_context.h"

namespace gridport {

// The run. Its clean-up (closing the workbook, the final status, "Готово!"
// in interactive mode) happens also after a failure; the failure is then
// raised again for the caller to report.
void RunConversion(TRunContext& context);

// Button_StartClick: the run, with a failure handed to the host's error report.
void Button_StartClick(TRunContext& context);

}  // namespace gridport
