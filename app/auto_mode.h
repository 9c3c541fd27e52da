// The automatic mode: AutoSettings.ini of the working folder fills the main
// window's controls, then Start is pressed without a window or a question.
#pragma once

#include <string>

#include "app/engine.h"
#include "app/form_model.h"
#include "app/host.h"

namespace gridport {

inline constexpr const char* kAutoSettingsName = "AutoSettings.ini";

struct TAutoOutcome {
  bool completed = false;  // the conversion ran to its end
  std::string reason;      // why not, in one line
};

// Applies the settings file `folder`/AutoSettings.ini to `form` (ticks
// CheckBoxConvertOptions first). On success the form is ready for the run;
// otherwise the outcome says why nothing may be converted.
TAutoOutcome ApplyAutoSettings(TForm_Main& form, const std::string& folder);

// ApplyAutoSettings, then the run in automatic mode. Nothing is shown or asked.
TAutoOutcome RunAutomaticMode(TForm_Main& form, THost& host, TEngine& engine, const std::string& folder);

}  // namespace gridport
