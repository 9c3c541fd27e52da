// The workbook versions the readers tell apart. The numeric values are the
// ones the model stores and compares (a version below xvExcel97 means a
// 2080-byte record limit, and so on).
#pragma once

namespace gridport {

enum TExcelVersion {
  xvNone = 0,          // not a workbook this program reads
  xvExcelUnknown = 1,
  xvExcel21 = 2,       // BIFF2
  xvExcel30 = 3,       // BIFF3
  xvExcel40 = 4,       // BIFF4
  xvExcel50 = 5,       // BIFF5 ("Book" stream)
  xvExcel97 = 6,       // BIFF8 ("Workbook" stream)
  xvExcel2007 = 7,     // Open XML package
};

}  // namespace gridport
