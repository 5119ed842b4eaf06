// The option line of a batch run (the first line of the option file), also
// taken by the command line's --options: options such as "/d100 /p1 /nt /ok",
// each a slash, a letter and a short code.
#pragma once

#include <string_view>

#include "base/job.h"

namespace brisel {

// The viewer settings that a line chooses, starting from none chosen.
// Parsing ends at the first line feed or the end of the text. The zoom choice
// becomes OpenActionMode ("N" when none or 0) and FitWindow; the outline
// choice becomes KeepOutlines and FlatOutlines.
//
//   /d  a w h o | digits (+ f: fit window) | n    zoom
//   /i  o r | l                                   direction (o: as in the input)
//   /n  f o ot t org on | n                       page mode
//   /o  k kt | n                                  bookmarks (kt: one flat level)
//   /p  1 2l 2r o s | n                           page layout
ViewerSettings ParseOptionLine(std::string_view line);

}  // namespace brisel
