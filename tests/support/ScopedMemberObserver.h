#pragma once
// What runs after each member the unzip library writes, for a scope (to count members or to stop
// the process in the middle of an extraction).
#include "ScopedOverride.h"
#include "modpack/InfoZip.h"

namespace testing_support {

using ScopedMemberObserver = ScopedOverride<InfoZip::MemberObserver, &InfoZip::SetMemberObserver>;

} // namespace testing_support
