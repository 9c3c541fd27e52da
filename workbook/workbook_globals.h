// Values shared by every workbook component of the process.
//
// The boolean texts and the position limits are one value per process, not
// per workbook: setting them through any TXLSWorkbook changes them for all.
// The whole model runs on one thread, so nothing here is locked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace gridport {

// Texts of true and false boolean cells. Start as "TRUE" and "FALSE".
const std::u16string& StrTRUE();
const std::u16string& StrFALSE();
void SetStrTRUE(std::u16string_view text);
void SetStrFALSE(std::u16string_view text);

// Last valid column and row index for the current Version (255/65535 below
// Excel 2007, 16383/1048575 from it on). Start as 16383 and 1048575.
std::uint16_t ColumnLimit();
std::uint32_t RowLimit();
void SetPositionLimits(std::uint16_t columnLimit, std::uint32_t rowLimit);

// The address limits of the cell storage itself, whatever the version.
inline constexpr std::uint16_t kMaxColumn = 16383;
inline constexpr std::uint32_t kMaxRow = 1048575;

// Cell error codes 1..7; 0 is "no error value".
inline constexpr int kCellErrorCount = 8;
// Display texts indexed by cell error code (#N/A reads "N/A").
extern const std::u16string_view CellErrorTexts[kCellErrorCount];
// Names indexed by cell error code, as files spell them (#N/A reads "#N/A").
extern const std::u16string_view CellErrorNames[kCellErrorCount];

}  // namespace gridport
