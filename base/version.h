// The program's version, as project(VERSION) in CMakeLists.txt gives it: the
// producer of every page file and the text --version prints.
#pragma once

#ifndef BRISEL_VERSION
#error "BRISEL_VERSION comes from CMakeLists.txt"
#endif

namespace brisel {

inline constexpr const char* kVersionText = "Brisel Ver " BRISEL_VERSION;

}  // namespace brisel

namespace brisel {

// The version of the zlib library the program runs with (not the one it was
// built against, which may differ when zlib is a shared library).
const char* ZlibVersion();

}  // namespace brisel
