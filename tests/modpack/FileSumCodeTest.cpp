// The checksum's block code: each form, forced through its seam, sums large blocks and their odd
// tails to the same value as the plain byte loop, whatever the machine would pick by itself.
#include <cstdint>
#include <string>

#include "ModpackTestKit.h"
#include "ScopedFileSumCode.h"
#include "modpack/FileSum.h"

namespace {

using testing_support::ScopedFileSumCode;

TEST(FileSumCode, EveryFormSumsLargeBlocksAndTheirTailsAlike) {
    testing_support::TempDir dir;
    // Two full 64 KiB blocks and a last one that ends 13 bytes short of a vector step; bytes of
    // every value, high ones included, so that a lane lost or added shows.
    std::string bytes(3 * 65536 - 13, '\0');
    uint32_t state = 12345;
    uint32_t expected = 0;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
        expected += static_cast<unsigned char>(c);
    }
    dir.WriteFile("mixed", bytes);
    // The same size of 0xFF: the most each step can add.
    dir.WriteFile("full", std::string(bytes.size(), '\xFF'));
    const auto fullSum = static_cast<uint32_t>(uint64_t{bytes.size()} * 255u);

    for (const FileSumCode code :
         {FileSumCode::Fastest, FileSumCode::Sse2, FileSumCode::Portable}) {
        SCOPED_TRACE(static_cast<int>(code));
        ScopedFileSumCode forced(code);
        EXPECT_EQ(GetFileSum(dir / "mixed"), expected);
        EXPECT_EQ(GetFileSum(dir / "full"), fullSum);
    }
}

} // namespace
