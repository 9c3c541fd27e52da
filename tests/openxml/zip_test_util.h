// Helpers shared by the zip reader's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "openxml/zip_archive.h"
#include "openxml/zip_part_buffer.h"

namespace gridport::test {

inline const std::uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Extracts entry index of an open archive into a string.
inline std::string ExtractText(TQuillZip& zip, int index) {
  TZipPartBuffer buffer;
  zip.Entries().Items(index).ExtractToStream(buffer);
  return std::string(buffer.View());
}

// Expects a call to fail with exactly this message (or, with prefix_only, a message starting so).
#define EXPECT_ZIP_ERROR(statement, Type, text)                                        \
  do {                                                                                 \
    try {                                                                              \
      statement;                                                                       \
      ADD_FAILURE() << "no exception, expected: " << (text);                           \
    } catch (const Type& error) {                                                      \
      EXPECT_EQ(std::string(error.what()), std::string(text));                         \
    }                                                                                  \
  } while (0)

}  // namespace gridport::test
