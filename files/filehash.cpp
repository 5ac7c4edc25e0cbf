#include "files/filehash.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

struct StateDeleter {
    void operator()(XXH3_state_t *state) const { XXH3_freeState(state); }
};

} // namespace

std::optional<ContentHash> hashOpenFile(int fd, const HashBlockRead &onBlock)
{
    struct stat before;
    if (fd < 0 || ::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode))
        return std::nullopt;
    // Tells the kernel to read far ahead: a CD or a USB stick gives its speed only to long reads.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const std::unique_ptr<XXH3_state_t, StateDeleter> state(XXH3_createState());
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK)
        return std::nullopt;
    static thread_local std::unique_ptr<char[]> block;
    if (!block)
        block = std::make_unique_for_overwrite<char[]>(size_t(kHashBlockBytes));
    qint64 offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, block.get(), size_t(kHashBlockBytes), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        XXH3_128bits_update(state.get(), block.get(), size_t(got));
        offset += got;
        if (onBlock && !onBlock(got))
            return std::nullopt;
    }
    struct stat after;
    // Read to its end, it must still be the file it was at the start: the same size and date.
    if (offset != before.st_size || ::fstat(fd, &after) != 0 || !sameFile(before, after))
        return std::nullopt;
    const XXH128_hash_t hash = XXH3_128bits_digest(state.get());
    return ContentHash{hash.high64, hash.low64};
}
