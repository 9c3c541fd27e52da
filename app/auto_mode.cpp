#include "app/auto_mode.h"

#include <exception>

#include "app/conversion_run.h"
#include "app/ini_file.h"
#include "app/paths.h"

namespace gridport {

namespace {

constexpr const char* kSection = "Options";

TAutoOutcome Stop(std::string reason) { return {false, std::move(reason)}; }

std::string Missing(const char* key) { return std::string(kAutoSettingsName) + ": " + key + " is not set"; }

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string WithoutTrailingSlash(std::string folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

TAutoOutcome ApplyAutoSettings(TForm_Main& form, const std::string& folder) {
  const std::string here = WithTrailingSlash(folder);  // D
  const std::string settings_path = here + kAutoSettingsName;
  if (!FileExists(settings_path)) return Stop(std::string(kAutoSettingsName) + " not found in " + folder);
  const std::optional<TIniFile> ini = TIniFile::Load(settings_path);
  if (!ini) return Stop("cannot read " + settings_path);
  const auto read = [&](const char* key) { return ini->ReadString(kSection, key); };

  form.SetConvertOptions(true);

  const std::string mode = UpperAscii(read("ConversionMode"));
  if (mode.empty()) return Stop(Missing("ConversionMode"));
  if (mode == "SINGLE") form.SelectConvertMode(0);
  if (mode == "PACKAGE") form.SelectConvertMode(1);

  const std::string sheets = UpperAscii(read("ConversionSheet"));
  if (sheets.empty()) return Stop(Missing("ConversionSheet"));
  if (sheets == "FIRST") form.RadioGroupConvertMode = 1;
  if (sheets == "EVERY") form.RadioGroupConvertMode = 0;

  const std::string action = UpperAscii(read("ActionFile"));
  if (action.empty()) return Stop(Missing("ActionFile"));
  if (action == "RENAME") form.RadioGroupActionWithFile = 0;
  if (action == "REPLACE") form.RadioGroupActionWithFile = 1;

  form.ChBox_DeletePrimaryFile = UpperAscii(read("DeletePrimaryFile")) == "YES";

  const std::string encoding_value = read("Encoding");
  const std::string encoding = UpperAscii(encoding_value);
  if (encoding.empty() || encoding == "WIN-1251")
    form.ComboBox_FileEncoding = 0;
  else if (encoding == "UTF-8")
    form.ComboBox_FileEncoding = 1;
  else
    return Stop(std::string(kAutoSettingsName) + ": Encoding \"" + encoding_value + "\" is neither WIN-1251 nor UTF-8");

  if (form.RGroup_ConvertMode == 1) {
    const std::string primary = read("PrimaryCatalog");
    const std::string source = primary.empty() ? here : WithoutTrailingSlash(primary);
    form.Edit_PrimaryFile = DirectoryExists(source) ? source : here;
    const std::string final_value = read("FinalCatalog");
    const std::string target = final_value.empty() ? source : WithoutTrailingSlash(final_value);
    form.Edit_FinalFile = DirectoryExists(target) ? target : here;
    return {true, ""};
  }

  const std::string name = read("PrimaryFyle");
  if (name.empty()) return Stop(Missing("PrimaryFyle"));
  const std::string primary = read("PrimaryCatalog");
  const std::string source_folder = primary.empty() ? here : WithTrailingSlash(primary);
  const std::string source = source_folder + name;
  if (!FileExists(source)) return Stop("source workbook not found: " + source);
  form.Edit_PrimaryFile = source;
  form.OpenDialog_FileName = source;

  const std::string final_file = read("FinalFile");
  std::string target_name;
  if (final_file.empty())
    target_name = TargetNameFromSource(name);
  else if (final_file.size() >= 3 && UpperAscii(final_file.substr(final_file.size() - 3)) == "CSV")
    target_name = final_file;
  else
    target_name = final_file + ".csv";
  const std::string final_folder = read("FinalCatalog");
  const std::string target_folder = final_folder.empty() ? source_folder : WithTrailingSlash(final_folder);
  form.Edit_FinalFile = target_folder + target_name;
  form.SaveDialog_FileName = form.Edit_FinalFile;
  return {true, ""};
}

TAutoOutcome RunAutomaticMode(TForm_Main& form, THost& host, TEngine& engine, const std::string& folder) {
  TAutoOutcome outcome = ApplyAutoSettings(form, folder);
  if (!outcome.completed) return outcome;
  TRunContext context{form, host, engine, true};
  try {
    RunConversion(context);
  } catch (const std::exception& error) {
    return Stop(error.what());
  } catch (...) {
    return Stop("the conversion failed");
  }
  return outcome;
}

}  // namespace gridport
