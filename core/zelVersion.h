// The program's version, in the one place every caption, listing and --version reads it from.
// CMakeLists.txt reads the project version from this line as well.
#pragma once

#include <string_view>

// Written with four digits after the last point, as the program shows it everywhere.
inline constexpr std::string_view cZelVersion = "0.0.0113";
