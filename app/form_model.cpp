#include "app/form_model.h"

#include "app/paths.h"

namespace gridport {

void TForm_Main::SelectConvertMode(int item) {
  if (item == RGroup_ConvertMode) return;
  RGroup_ConvertMode = item;
  RGroup_ConvertModeClick();
}

void TForm_Main::RGroup_ConvertModeClick() {
  OpenDialog_FileName.clear();
  SaveDialog_FileName.clear();
  Edit_PrimaryFile.clear();
  Edit_FinalFile.clear();
  LastSourceFolder.clear();
  LastTargetFolder.clear();
  Button_FinalFile_Enabled = false;
  Button_Start_Enabled = false;
  const bool batch = RGroup_ConvertMode == 1;
  Label_Open = batch ? "Каталог для открытия Excel файлов:" : "Excel файл:";
  Label_Save = batch ? "Каталог для сохранения CSV файлов" : "CSV файл:";
  GrBox_Select = batch ? "Выбора каталога" : "Выбор файла";
  Height = batch ? kHeightBatch : kHeightSingle;
  CheckBoxConvertOptions_Visible = batch;
  GroupBoxConvertOptions_Visible = batch;
}

TPickerRequest TForm_Main::Button_PrimaryFileClick() const {
  if (RGroup_ConvertMode == 1)
    return {TPickerRequest::pkFolder, "Выбор каталога для окрытия Excel файлов", LastSourceFolder};
  return {TPickerRequest::pkOpenFile, "", OpenDialog_FileName};
}

void TForm_Main::PrimaryChosen(const std::optional<std::string>& path) {
  if (!path || path->empty()) return;  // cancelled, or a choice without a path
  if (RGroup_ConvertMode == 1) {
    LastSourceFolder = *path;
    Edit_PrimaryFile = *path;
    Edit_FinalFile = *path;
  } else {
    OpenDialog_FileName = *path;
    Edit_PrimaryFile = *path;
    Edit_FinalFile = TargetNameFromSource(*path);
    SaveDialog_FileName = Edit_FinalFile;
  }
  Button_FinalFile_Enabled = true;
  Button_Start_Enabled = true;
}

TPickerRequest TForm_Main::Button_FinalFileClick() {
  if (RGroup_ConvertMode == 1) {
    LastTargetFolder = LastSourceFolder;
    return {TPickerRequest::pkFolder, "Выбор каталога для сохранения CSV файлов", LastTargetFolder};
  }
  return {TPickerRequest::pkSaveFile, "", SaveDialog_FileName};
}

void TForm_Main::FinalChosen(const std::optional<std::string>& path) {
  if (!path || path->empty()) return;
  if (RGroup_ConvertMode == 1) {
    LastTargetFolder = *path;
  } else {
    SaveDialog_FileName = *path;
  }
  Edit_FinalFile = *path;
}

void TForm_Main::CheckBoxConvertOptionsClick() {
  GroupBoxConvertOptions_Enabled = CheckBoxConvertOptions;
  RadioGroupConvertMode_Enabled = CheckBoxConvertOptions;
  RadioGroupActionWithFile_Enabled = CheckBoxConvertOptions;
}

}  // namespace gridport
