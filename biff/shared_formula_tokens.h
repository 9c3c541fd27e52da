// Resolving the relative references of a shared formula for one cell.
//
// A SHRFMLA record holds the tokens once for a range of cells; their cell
// references are stored as offsets from the cell that uses them (ptgRefN,
// ptgAreaN). Each formula cell of the range gets its own copy of the tokens,
// and the offsets in that copy are turned into the absolute references of a
// plain formula (ptgRef, ptgArea), so that the cell's tokens read like those
// of any unshared formula.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gridport {

// Rewrites, in place, the ptgRefN / ptgAreaN tokens (any operand class) of
// tokens[0, size) for the cell at (col, row). biff8 selects the BIFF8 token
// layout; otherwise the BIFF5 one. The walk stops at the first token whose
// size it does not know (the rest is left as it is) and never reads past size.
void ResolveSharedFormulaTokens(std::uint8_t* tokens, std::size_t size, bool biff8,
                                std::uint16_t col, std::uint32_t row);

}  // namespace gridport
