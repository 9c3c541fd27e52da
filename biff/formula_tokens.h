// The least of the formula layer that the name tables need: walking a BIFF8
// token list (parsed expression) to find how many extra bytes its tokens
// require after it (array constants of ptgArray, reference lists of
// ptgMemArea), in token order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gridport {

// tokens: token_size bytes of BIFF8 tokens; extra: the bytes that follow them,
// extra_available long. Returns the count of extra bytes the tokens use.
// Throws EXLSError for a token it does not know, a token cut short, or extra
// data beyond extra_available.
std::size_t FormulaExtraSize(const std::uint8_t* tokens, std::size_t token_size,
                             const std::uint8_t* extra, std::size_t extra_available);

}  // namespace gridport
