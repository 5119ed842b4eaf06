#include "docstruct/viewer_settings.h"

namespace brisel {

// The "keep" choices are not read yet: they stay unresolved and write nothing.
int ReadViewerSettings(Job&, const Document&, Cursor, Cursor) { return 0; }

}  // namespace brisel
