#pragma once
// A disk with this many bytes free for every download, for a scope.
#include "ScopedOverride.h"
#include "session/PartialDownload.h"

namespace testing_support {

using ScopedFreeSpace =
    ScopedOverride<std::optional<uint64_t>, &PartialDownload::SetFreeSpaceOverride>;

} // namespace testing_support
