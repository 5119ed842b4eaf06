// The program's version, as project(VERSION) in CMakeLists.txt gives it: the
// producer of every page file and the text --version prints.
#pragma once

#ifndef BRISEL_VERSION
#error "BRISEL_VERSION comes from CMakeLists.txt"
#endif

namespace brisel {

inline constexpr const char* kVersionText = "Brisel Ver " BRISEL_VERSION;

}  // namespace brisel
