#include "workbook/xls_error.h"

namespace gridport {

EListError::EListError(long long index)
    : std::runtime_error("List index out of bounds (" + std::to_string(index) + ")") {}

}  // namespace gridport
