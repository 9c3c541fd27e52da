// The program entry. `gridport AUTO` converts as AutoSettings.ini of the
// working folder says, without a window, and exits 0 only when the conversion
// ran to its end; otherwise it prints one line on standard error saying why.
// Without AUTO the window would start; it does not exist in this build yet.
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "app/auto_mode.h"
#include "app/builtin_engine.h"
#include "app/form_model.h"
#include "app/registry.h"
#include "app/startup.h"

namespace {

// One line: line breaks inside a message become blanks.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int Fail(const std::string& reason) {
  std::cerr << "gridport: " << OneLine(reason) << std::endl;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace gridport;
  bool automatic = false;
  try {
    automatic = IsAutoArgument(argc > 1 ? argv[1] : "");
  } catch (...) {
    automatic = false;
  }

  TFileRegistry registry(TFileRegistry::DefaultPath());
  const std::optional<std::string> registry_message = KeepRegistryRecord(registry, NowAsDateTime());

  if (!automatic) {
    if (registry_message) std::cerr << OneLine(*registry_message) << std::endl;
    std::cerr << "gridport: the window is not available in this build; run \"gridport AUTO\" in a folder "
                 "holding AutoSettings.ini"
              << std::endl;
    return 2;
  }

  try {
    TForm_Main form;
    TNoClassRegistry classes;
    FormCreate(form, classes, registry, automatic);  // Linux: always the built-in reader
    TBuiltInEngine engine;
    TSilentHost host;
    std::error_code error;
    const std::string here = std::filesystem::current_path(error).string();
    if (error) return Fail("cannot determine the working folder: " + error.message());
    const TAutoOutcome outcome = RunAutomaticMode(form, host, engine, here);
    if (!outcome.completed) return Fail(outcome.reason);
    return 0;
  } catch (const std::exception& error) {
    return Fail(error.what());
  } catch (...) {
    return Fail("unexpected failure");
  }
}
