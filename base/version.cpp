#include "base/version.h"

#include <zlib.h>

namespace brisel {

const char* ZlibVersion() { return zlibVersion(); }

}  // namespace brisel
