#include "search/searchindexread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr unsigned kMostThreads = 4;
// How far the readers may run ahead of the calling thread: each file read and not yet taken
// holds its trigrams.
constexpr qsizetype kAheadPerThread = 8;

qsizetype threadsFor(qsizetype count)
{
    return std::clamp<qsizetype>(
        std::min<qsizetype>(count, std::min(kMostThreads, std::thread::hardware_concurrency())), 1,
        kMostThreads);
}

// The files shared out to the reading threads and their results, taken in order.
class SharedRead {
  public:
    SharedRead(const QStringList &paths, qsizetype ahead)
        : m_paths(paths), m_files(size_t(paths.size())), m_ready(size_t(paths.size())), m_ahead(ahead)
    {
    }

    void work()
    {
        TrigramReader reader;
        for (;;) {
            qsizetype i;
            {
                std::unique_lock lock(m_mutex);
                m_room.wait(lock, [&] { return m_stop || m_next < m_taken + m_ahead; });
                if (m_stop || m_next >= m_paths.size())
                    return;
                i = m_next++;
            }
            ReadFile file;
            file.ok = reader.read(m_paths[i], file.stamp, file.found);
            {
                std::lock_guard lock(m_mutex);
                m_files[size_t(i)] = std::move(file);
                m_ready[size_t(i)] = 1;
            }
            m_done.notify_all();
        }
    }

    // The result of file `i` once it is read; it stays in place until taken() is called.
    ReadFile &wait(qsizetype i)
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [&] { return m_ready[size_t(i)] != 0; });
        return m_files[size_t(i)];
    }

    void taken(qsizetype i)
    {
        {
            std::lock_guard lock(m_mutex);
            m_files[size_t(i)] = {};
            m_taken = i + 1;
        }
        m_room.notify_all();
    }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_room.notify_all();
    }

  private:
    const QStringList &m_paths;
    std::vector<ReadFile> m_files;
    std::vector<char> m_ready;
    qsizetype m_ahead;
    std::mutex m_mutex;
    std::condition_variable m_room; // a reader may take the next file
    std::condition_variable m_done; // a file has been read
    qsizetype m_next = 0;
    qsizetype m_taken = 0;
    bool m_stop = false;
};

} // namespace

bool readFilesForIndex(const QStringList &paths, const std::function<void(qsizetype, ReadFile &)> &take,
                       const std::function<bool()> &cancelled)
{
    const qsizetype threads = threadsFor(paths.size());
    SharedRead shared(paths, threads * kAheadPerThread);
    std::vector<std::thread> readers;
    for (qsizetype t = 0; t < threads; ++t)
        readers.emplace_back([&shared] { shared.work(); });
    bool done = true;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (cancelled && cancelled()) {
            done = false;
            break;
        }
        take(i, shared.wait(i));
        shared.taken(i);
    }
    shared.stop();
    for (std::thread &reader : readers)
        reader.join();
    return done;
}

void runOnThreads(qsizetype count, const std::function<void(qsizetype)> &work)
{
    std::atomic<qsizetype> next = 0;
    const auto share = [&] {
        for (qsizetype i; (i = next++) < count;)
            work(i);
    };
    std::vector<std::thread> others;
    for (qsizetype t = 1; t < threadsFor(count); ++t)
        others.emplace_back(share);
    share();
    for (std::thread &other : others)
        other.join();
}
