#pragma once
// The form of the checksum's inner loop in force, for a scope.
#include "ScopedOverride.h"
#include "modpack/FileSum.h"

namespace testing_support {

using ScopedFileSumCode = ScopedOverride<FileSumCode, &SetFileSumCode>;

} // namespace testing_support
