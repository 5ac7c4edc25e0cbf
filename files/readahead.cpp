#include "files/readahead.h"

#include "files/textfile.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr qsizetype kBatchUnits = qsizetype(1) << 18; // UTF-16 units of text per batch
constexpr size_t kBatchesAhead = 4;

// Lines decoded together: their text back to back, and where each ends.
struct Batch {
    QString text;
    std::vector<qsizetype> ends;
    bool last = false; // no batch follows: the file ended, failed, or reached its empty line
};

} // namespace

struct ReadAheadLineReader::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Batch> ready;
    bool stop = false;
    std::thread thread;

    Batch current;
    size_t next = 0; // line of `current` handed out next

    void produce(TextFileReader &reader);
    bool push(Batch &&batch);
};

bool ReadAheadLineReader::Shared::push(Batch &&batch)
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return stop || ready.size() < kBatchesAhead; });
    if (stop)
        return false;
    ready.push_back(std::move(batch));
    changed.notify_all();
    return true;
}

void ReadAheadLineReader::Shared::produce(TextFileReader &reader)
{
    QString line;
    for (;;) {
        Batch batch;
        batch.text.reserve(kBatchUnits + 256);
        while (batch.text.size() < kBatchUnits) {
            const qint64 length = reader.readLine(line);
            if (length < 0) {
                batch.last = true;
                break;
            }
            batch.text.append(line);
            batch.ends.push_back(batch.text.size());
            if (length == 0) {
                batch.last = true;
                break;
            }
        }
        const bool last = batch.last;
        if (!push(std::move(batch)) || last)
            return;
    }
}

ReadAheadLineReader::ReadAheadLineReader() : d(std::make_unique<Shared>())
{
}

ReadAheadLineReader::~ReadAheadLineReader()
{
    if (!d->thread.joinable())
        return;
    {
        std::lock_guard lock(d->mutex);
        d->stop = true;
    }
    d->changed.notify_all();
    d->thread.join();
}

bool ReadAheadLineReader::open(const QString &path)
{
    auto reader = std::make_shared<TextFileReader>();
    if (d->thread.joinable() || !reader->open(path))
        return false;
    d->current.last = false;
    d->thread = std::thread([shared = d.get(), reader] { shared->produce(*reader); });
    return true;
}

qint64 ReadAheadLineReader::readLine(QStringView &line)
{
    if (d->next == d->current.ends.size()) {
        if (d->current.last || !d->thread.joinable()) {
            line = {};
            return -1;
        }
        std::unique_lock lock(d->mutex);
        d->changed.wait(lock, [this] { return !d->ready.empty(); });
        d->current = std::move(d->ready.front());
        d->ready.pop_front();
        d->changed.notify_all();
        d->next = 0;
        if (d->current.ends.empty()) {
            line = {};
            return -1;
        }
    }
    const qsizetype begin = d->next == 0 ? 0 : d->current.ends[d->next - 1];
    const qsizetype end = d->current.ends[d->next++];
    line = QStringView(d->current.text).sliced(begin, end - begin);
    return line.size();
}
