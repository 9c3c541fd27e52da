// ExportSheet: one sheet of the open workbook into one CSV file.
#pragma once

#include <cstdint>
#include <string>

#include "app/run_context.h"

namespace gridport {

// The name written to when `target` exists: the target itself (replace) or
// the first free rename candidate, as the collision settings and, in
// interactive mode, the user's answer decide.
std::string SettleCollision(TRunContext& context, const std::string& target);

// Writes 1-based sheet `sheet` to `target` (or its rename), in the encoding of
// ComboBox_FileEncoding. Raises on engine and file errors.
void ExportSheet(TRunContext& context, uint32_t sheet, const std::string& target);

}  // namespace gridport
