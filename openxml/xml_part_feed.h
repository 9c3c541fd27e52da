// TXMLPartFeed: the bytes of a package part that become ready while the part is parsed.
//
// A producer (an inflating worker thread) fills one buffer of the part's final size from the
// front; the parser reads the ready front and waits for more. The buffer never moves, so the
// views the parser hands out into it stay valid for the whole parse, as with a whole buffer.
#pragma once

#include <cstddef>

namespace gridport {

class TXMLPartFeed {
 public:
  virtual ~TXMLPartFeed() = default;
  // The part's first byte and its final size.
  virtual const char* Data() const = 0;
  virtual std::size_t Size() const = 0;
  // Waits until at least want bytes (want <= Size()) are ready and answers how many are, never
  // more than Size(); ready bytes do not change again. When the producer failed before want
  // bytes were ready, throws its error (the one extracting the whole part would have thrown).
  virtual std::size_t WaitReady(std::size_t want) = 0;
};

}  // namespace gridport
