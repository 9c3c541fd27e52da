#include "app/form_model.h"

#include <gtest/gtest.h>

namespace gridport {
namespace {

TEST(FormModelTest, SourcePickProposesTargetAndEnablesStart) {
  TForm_Main form;
  EXPECT_FALSE(form.Button_Start_Enabled);
  EXPECT_EQ(form.Button_PrimaryFileClick().kind, TPickerRequest::pkOpenFile);
  form.PrimaryChosen(std::nullopt);  // cancelled
  EXPECT_FALSE(form.Button_Start_Enabled);
  form.PrimaryChosen("/data/BOOK.XLS");
  EXPECT_EQ(form.Edit_PrimaryFile, "/data/BOOK.XLS");
  EXPECT_EQ(form.OpenDialog_FileName, "/data/BOOK.XLS");
  EXPECT_EQ(form.Edit_FinalFile, "/data/BOOK.csv");
  EXPECT_EQ(form.SaveDialog_FileName, "/data/BOOK.csv");
  EXPECT_TRUE(form.Button_Start_Enabled);
  EXPECT_TRUE(form.Button_FinalFile_Enabled);
  const TPickerRequest save = form.Button_FinalFileClick();
  EXPECT_EQ(save.kind, TPickerRequest::pkSaveFile);
  EXPECT_EQ(save.initial, "/data/BOOK.csv");
  form.FinalChosen("/out/x.csv");
  EXPECT_EQ(form.Edit_FinalFile, "/out/x.csv");
}

TEST(FormModelTest, ModeSwitchClearsPathsAndDisablesStart) {
  TForm_Main form;
  form.PrimaryChosen("/data/book.xls");
  form.SelectConvertMode(1);
  EXPECT_EQ(form.Edit_PrimaryFile, "");
  EXPECT_EQ(form.Edit_FinalFile, "");
  EXPECT_EQ(form.OpenDialog_FileName, "");
  EXPECT_FALSE(form.Button_Start_Enabled);
  EXPECT_FALSE(form.Button_FinalFile_Enabled);
  EXPECT_EQ(form.Label_Open, "Каталог для открытия Excel файлов:");
  EXPECT_EQ(form.Label_Save, "Каталог для сохранения CSV файлов");
  EXPECT_EQ(form.GrBox_Select, "Выбора каталога");
  EXPECT_EQ(form.Height, kHeightBatch);
  EXPECT_TRUE(form.CheckBoxConvertOptions_Visible);
  EXPECT_TRUE(form.GroupBoxConvertOptions_Visible);

  // In batch mode the target starts as the source folder, and the target picker
  // opens on the last source folder, not the last target folder.
  const TPickerRequest folder = form.Button_PrimaryFileClick();
  EXPECT_EQ(folder.kind, TPickerRequest::pkFolder);
  EXPECT_EQ(folder.title, "Выбор каталога для окрытия Excel файлов");
  form.PrimaryChosen("/in");
  EXPECT_EQ(form.Edit_FinalFile, "/in");
  form.Button_FinalFileClick();
  form.FinalChosen("/out");
  EXPECT_EQ(form.LastTargetFolder, "/out");
  const TPickerRequest again = form.Button_FinalFileClick();
  EXPECT_EQ(again.title, "Выбор каталога для сохранения CSV файлов");
  EXPECT_EQ(again.initial, "/in");

  form.SelectConvertMode(0);
  EXPECT_EQ(form.Edit_PrimaryFile, "");
  EXPECT_EQ(form.LastSourceFolder, "");
  EXPECT_FALSE(form.Button_Start_Enabled);
  EXPECT_EQ(form.Label_Open, "Excel файл:");
  EXPECT_EQ(form.Height, kHeightSingle);
  EXPECT_FALSE(form.GroupBoxConvertOptions_Visible);
}

TEST(FormModelTest, ConvertOptionsCheckBoxEnablesBothRadioGroups) {
  TForm_Main form;
  form.SetConvertOptions(false);
  EXPECT_FALSE(form.GroupBoxConvertOptions_Enabled);
  EXPECT_FALSE(form.RadioGroupConvertMode_Enabled);
  EXPECT_FALSE(form.RadioGroupActionWithFile_Enabled);
  form.SetConvertOptions(true);
  EXPECT_TRUE(form.GroupBoxConvertOptions_Enabled);
  EXPECT_TRUE(form.RadioGroupConvertMode_Enabled);
  EXPECT_TRUE(form.RadioGroupActionWithFile_Enabled);
}

}  // namespace
}  // namespace gridport
