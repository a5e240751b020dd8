#pragma once
// The program's arguments for a scope: a front-end test plays a start with or without switches.
#include "ScopedOverride.h"
#include "ui/ProgramArguments.h"

namespace testing_support {

using ScopedProgramArguments = ScopedOverride<ui::ProgramArguments, &ui::SetProgramArguments>;

} // namespace testing_support
