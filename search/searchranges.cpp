#include "search/searchranges.h"

#include "files/textfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Twice the longest line of a file that is read in parts, so that a piece always ends a line.
constexpr qsizetype kPiece = qsizetype(1) << 20;

} // namespace

std::vector<LineRange> rangesOf(const FileLayout &layout, uint64_t blocks)
{
    std::vector<LineRange> ranges;
    const size_t count = layout.blocks.size();
    for (size_t i = 0; i < count; ++i) {
        if (!(blocks >> i & 1))
            continue;
        const qint64 end = i + 1 < count ? layout.blocks[i + 1].offset : layout.end;
        if (!ranges.empty() && ranges.back().end == layout.blocks[i].offset)
            ranges.back().end = end;
        else
            ranges.push_back({layout.blocks[i].offset, end, layout.blocks[i].linesBefore});
    }
    return ranges;
}

int openUnchanged(const QString &path, const FileStamp &stamp)
{
    qint64 size = 0;
    const int fd = openRegularFile(path, size);
    FileStamp now;
    if (fd >= 0 && (!stampOfOpenFile(fd, now) || !(now == stamp))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool readRange(int fd, const LineRange &range, const std::function<bool(const char *, qsizetype)> &take)
{
    // One buffer for every range a thread reads: a search reads hundreds of them.
    thread_local std::unique_ptr<char[]> buffer(new char[size_t(kPiece)]);
    qsizetype held = 0;
    for (qint64 at = range.begin; at < range.end || held > 0;) {
        const qsizetype want = qsizetype(std::min<qint64>(kPiece - held, range.end - at));
        ssize_t got = 0;
        if (want > 0) {
            do {
                got = ::pread(fd, buffer.get() + held, size_t(want), at);
            } while (got < 0 && errno == EINTR);
            if (got <= 0)
                return false;
        }
        at += got;
        held += got;
        // Whole lines only, until the range's end, which ends a line.
        const char *bytes = buffer.get();
        const char *lastLf = static_cast<const char *>(memrchr(bytes, '\n', size_t(held)));
        const qsizetype lines = at == range.end ? held : (lastLf ? lastLf - bytes + 1 : 0);
        if (lines == 0 || !take(bytes, lines))
            return false;
        std::memmove(buffer.get(), bytes + lines, size_t(held - lines));
        held -= lines;
    }
    return true;
}
