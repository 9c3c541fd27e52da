// What a conversion run works with: the main window's controls, the host, the
// engine and the automatic-mode flag.
#pragma once

#include <string>

#include "app/engine.h"
#include "app/form_model.h"
#include "app/host.h"

namespace gridport {

struct TRunContext {
  TForm_Main& form;
  THost& host;
  TEngine& engine;
  bool automatic = false;

  // Panel 0 of the status bar: kept in the form and shown by the host.
  void Status(const std::string& text) {
    form.StatusText = text;
    host.Status(text);
  }
};

}  // namespace gridport
