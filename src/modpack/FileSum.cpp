#include "modpack/FileSum.h"

#include <fcntl.h>

#include <cerrno>
#include <memory>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "app/RunLog.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "platform/Seam.h"
#include "platform/SystemCalls.h"

namespace {

constexpr size_t kBlockSize = 65536;

// Byte sum of one block. The vector forms add 16 or 32 bytes per step (psadbw), which keeps the
// checksum about as fast as the page cache can hand over a file.
uint64_t SumBytes(const unsigned char* data, size_t size) {
    uint64_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += data[i];
    return sum;
}

#if defined(__x86_64__)
uint64_t SumBlockSse2(const unsigned char* data, size_t size) {
    __m128i total = _mm_setzero_si128();
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        total = _mm_add_epi64(total, _mm_sad_epu8(bytes, zero));
    }
    total = _mm_add_epi64(total, _mm_unpackhi_epi64(total, total));
    return static_cast<uint64_t>(_mm_cvtsi128_si64(total)) + SumBytes(data + i, size - i);
}

__attribute__((target("avx2"))) uint64_t SumBlockAvx2(const unsigned char* data, size_t size) {
    __m256i first = _mm256_setzero_si256();
    __m256i second = _mm256_setzero_si256();
    const __m256i zero = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        const auto* at = reinterpret_cast<const __m256i*>(data + i);
        first = _mm256_add_epi64(first, _mm256_sad_epu8(_mm256_loadu_si256(at), zero));
        second = _mm256_add_epi64(second, _mm256_sad_epu8(_mm256_loadu_si256(at + 1), zero));
    }
    const __m256i both = _mm256_add_epi64(first, second);
    __m128i total = _mm_add_epi64(_mm256_castsi256_si128(both), _mm256_extracti128_si256(both, 1));
    total = _mm_add_epi64(total, _mm_unpackhi_epi64(total, total));
    return static_cast<uint64_t>(_mm_cvtsi128_si64(total)) + SumBlockSse2(data + i, size - i);
}

constinit platform::Seam<FileSumCode> g_code{FileSumCode::Fastest};

uint64_t SumBlock(const unsigned char* data, size_t size) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    switch (g_code.Get()) {
    case FileSumCode::Fastest:
        break;
    case FileSumCode::Sse2:
        return SumBlockSse2(data, size);
    case FileSumCode::Portable:
        return SumBytes(data, size);
    }
    return avx2 ? SumBlockAvx2(data, size) : SumBlockSse2(data, size);
}
#else
constinit platform::Seam<FileSumCode> g_code{FileSumCode::Fastest};

// Every form but the portable one is x86-64's.
uint64_t SumBlock(const unsigned char* data, size_t size) {
    return SumBytes(data, size);
}
#endif

} // namespace

FileSumCode SetFileSumCode(FileSumCode code) {
    return g_code.Exchange(code);
}

uint32_t GetFileSum(std::string path) {
    Log("GetFileSum (\"" + path + "\")");
    platform::sys::FileDescriptor file = platform::sys::Open(platform::ResolvePath(path), O_RDONLY);
    struct stat status {};
    // Opening a folder succeeds on Linux, and reading it fails at once: it would pass for an
    // empty file, whose sum 0 is also the sum of a failure.
    if (!file.IsOpen() || !platform::sys::FileStatus(file.Get(), status) ||
        !S_ISREG(status.st_mode)) {
        platform::ShowMessage("There was an error opening the zip file for checksum",
                              platform::kErrorCaption);
        return 0;
    }
    // One fixed buffer for the whole file; nothing is allocated per block.
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBlockSize]);
    posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    uint32_t sum = 0;
    for (;;) {
        const ssize_t got = platform::sys::Read(file.Get(), buffer.get(), kBlockSize);
        // A read error ends the sum as the end of the file would: the caller compares sums, and a
        // short sum never matches the host's.
        if (got <= 0)
            break;
        sum += static_cast<uint32_t>(SumBlock(buffer.get(), static_cast<size_t>(got)));
    }
    return sum;
}

std::vector<Leftover> DeleteFilesIn(const std::string& path) {
    platform::FileSystem& files = platform::Files();
    const auto entries = files.ListDirectory(path);
    if (!entries)
        return {Leftover{{}, platform::LastErrorText()}};
    std::vector<Leftover> left;
    for (const platform::DirEntry& entry : *entries) {
        // A backslash would read as a folder separator; no file of ours is named so.
        if (entry.isDirectory || entry.name.find('\\') != std::string::npos)
            continue;
        if (!files.DeleteFile(path + "\\" + entry.name) && platform::LastError() != ENOENT)
            left.push_back({entry.name, platform::LastErrorText()});
    }
    return left;
}

std::string LeftoverMessage(const std::string& path, const Leftover& leftover) {
    if (leftover.name.empty())
        return "Couldn't empty directory " + path + " (" + leftover.reason + ")";
    return "Couldn't empty directory " + path + ": " + leftover.name + " cannot be deleted (" +
           leftover.reason + ")";
}

bool RemoveFiles(std::string path) {
    Log("RemoveFiles (\"" + path + "\")");
    platform::FileSystem& files = platform::Files();
    files.CreateDirectory(path);
    if (!files.SetCurrentDirectory(path)) {
        platform::ShowMessage("Couldn't change directory to " + path, platform::kErrorCaption);
        return false;
    }
    // A folder that cannot be emptied must not pass for an empty one: whatever stays would be
    // installed or published with the next modpack.
    const std::vector<Leftover> left = DeleteFilesIn(path);
    if (left.empty())
        return true;
    platform::ShowMessage(LeftoverMessage(path, left.front()), platform::kErrorCaption);
    return false;
}
