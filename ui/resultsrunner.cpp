#include "ui/resultsrunner.h"

#include <QElapsedTimer>
#include <QMetaObject>

namespace {

// Rows are handed over at most this often once the first screen is shown, so that the window
// spends its time on typing and painting rather than on batches.
constexpr qint64 kBatchIntervalMs = 15;
constexpr qsizetype kFirstScreenRows = 64;

} // namespace

ResultsRunner::ResultsRunner(QObject *parent) : QObject(parent), m_thread([this] { work(); })
{
}

ResultsRunner::~ResultsRunner()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        ++m_generation;
    }
    m_wake.notify_all();
    m_thread.join();
}

quint64 ResultsRunner::start(std::vector<ResultDisc> discs, const QString &dataFolder,
                             const ResultQuery &query)
{
    auto job = std::make_unique<Job>();
    job->discs = std::move(discs);
    job->dataFolder = dataFolder;
    job->query = query;
    {
        std::lock_guard lock(m_mutex);
        job->generation = ++m_generation;
        m_pending = std::move(job);
    }
    m_wake.notify_all();
    return m_generation;
}

void ResultsRunner::stop()
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_pending.reset();
}

void ResultsRunner::dispose(ResultStore &&rows)
{
    {
        std::lock_guard lock(m_mutex);
        m_disposed.push_back(std::move(rows));
    }
    m_wake.notify_all();
}

void ResultsRunner::work()
{
    for (;;) {
        std::unique_ptr<Job> job;
        std::vector<ResultStore> disposed;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_pending || !m_disposed.empty(); });
            if (m_quit)
                return;
            job = std::move(m_pending);
            disposed.swap(m_disposed);
        }
        disposed.clear();
        if (job)
            run(*job);
    }
}

void ResultsRunner::post(quint64 generation, std::function<void()> deliver)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, deliver = std::move(deliver)] {
            if (generation == m_generation)
                deliver();
        },
        Qt::QueuedConnection);
}

void ResultsRunner::run(Job &job)
{
    const quint64 generation = job.generation;
    HookContext hooks;
    hooks.yieldAndCheckCancel = [this, generation] { return m_generation != generation; };
    ResultStore store;
    store.reset(std::move(job.discs));
    QElapsedTimer sincePost;
    sincePost.start();
    qsizetype handed = 0;
    const auto hand = [&] {
        if (store.rowCount() == 0)
            return;
        handed += store.rowCount();
        auto rows = std::make_shared<ResultStore>(store.takeRows());
        post(generation, [this, rows] {
            if (rowsArrived)
                rowsArrived(std::move(*rows));
        });
        sincePost.restart();
    };
    const ResultsOutcome outcome =
        searchResults(hooks, store, job.dataFolder, job.query, [&](qsizetype, qsizetype) {
            if (handed < kFirstScreenRows || sincePost.elapsed() >= kBatchIntervalMs)
                hand();
        });
    hand();
    post(generation, [this, outcome] {
        if (finished)
            finished(outcome);
    });
}
