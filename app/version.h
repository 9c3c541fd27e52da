// The program's version and title, compiled in.
#pragma once

namespace gridport {

inline constexpr const char* kProgramVersion = "1.3.2";
inline constexpr const char* kApplicationTitle = "Gridport";

}  // namespace gridport
