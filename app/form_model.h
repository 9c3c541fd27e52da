// The main window TForm_Main as data: its controls' values and states, and the
// behaviour that needs no toolkit (mode switch, pickers with the dialog results
// handed in, the options check box). The window binds its widgets to this
// model; the run, the export and the automatic mode read and write it.
#pragma once

#include <optional>
#include <string>

namespace gridport {

inline constexpr const char* kFilterAnyExcel = "Файл Excel (*.xls, *.xlsx)|*.xls; *.xlsx";
inline constexpr const char* kFilterExcel97 = "Файл Excel 97-2003 (*.xls)|*.xls";
inline constexpr const char* kFilterCsv = "Файл CSV (*.csv)|*.csv";

inline constexpr int kHeightSingle = 305;  // outer height showing the single-file layout
inline constexpr int kHeightBatch = 515;   // outer height showing the batch options too
inline constexpr int kHeightLayout = 540;  // outer height as laid out (client area 495 x 512)

// What the window must ask the user for when a picker button is pressed.
struct TPickerRequest {
  enum TKind { pkOpenFile, pkSaveFile, pkFolder } kind = pkOpenFile;
  std::string title;    // folder picker title
  std::string initial;  // pre-selected folder or proposed file name
};

class TForm_Main {
 public:
  // Controls, named as the window declares them.
  int RGroup_ConvertMode = 0;               // 0 single file, 1 batch
  bool ChBox_DeletePrimaryFile = false;
  int ComboBox_FileEncoding = 0;            // 0 Windows-1251, 1 UTF-8
  std::string Edit_PrimaryFile;
  std::string Edit_FinalFile;
  bool Button_Start_Enabled = false;
  bool Button_FinalFile_Enabled = false;
  bool CheckBoxConvertOptions = true;
  bool CheckBoxConvertOptions_Visible = false;
  bool GroupBoxConvertOptions_Visible = false;
  bool GroupBoxConvertOptions_Enabled = true;
  int RadioGroupConvertMode = 0;            // 0 every significant sheet, 1 the first only
  bool RadioGroupConvertMode_Enabled = true;
  int RadioGroupActionWithFile = 0;         // 0 rename, 1 replace
  bool RadioGroupActionWithFile_Enabled = true;
  std::string Label_Open = "Excel файл:";
  std::string Label_Save = "CSV файл:";
  std::string GrBox_Select = "Выбор файла";
  std::string StatusText;                   // panel 0 of StatusBar
  int Height = kHeightLayout;

  // Non-visual parts: the dialogs' file names and filters, remembered folders.
  std::string OpenDialog_FileName;
  std::string OpenDialog_Filter = kFilterAnyExcel;
  std::string SaveDialog_FileName;
  std::string LastSourceFolder;
  std::string LastTargetFolder;

  // RGroup_ConvertModeClick: selecting another item switches the mode; selecting
  // the current one changes nothing.
  void SelectConvertMode(int item);
  void RGroup_ConvertModeClick();

  // Button_PrimaryFileClick: the request describes the dialog to run; the
  // result (nothing when cancelled) is handed to PrimaryChosen.
  TPickerRequest Button_PrimaryFileClick() const;
  void PrimaryChosen(const std::optional<std::string>& path);

  // Button_FinalFileClick: in batch mode the target picker opens on the
  // remembered source folder, which becomes the remembered target folder.
  TPickerRequest Button_FinalFileClick();
  void FinalChosen(const std::optional<std::string>& path);

  void CheckBoxConvertOptionsClick();
  void SetConvertOptions(bool ticked) { CheckBoxConvertOptions = ticked; CheckBoxConvertOptionsClick(); }
};

}  // namespace gridport
