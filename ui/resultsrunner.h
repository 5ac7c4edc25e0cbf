#pragma once

#include "search/query.h"
#include "search/resultsearch.h"
#include "search/resultstore.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Runs the results search of the window on a thread of its own, so that typing is never held up:
// each start() drops the search that runs (it stops at its next block) and the newest one runs.
// Rows come back to the window's thread in batches, a few a frame, tagged with the search they
// belong to, so that rows of a dropped search never show.
class ResultsRunner : public QObject {
  public:
    explicit ResultsRunner(QObject *parent = nullptr);
    ~ResultsRunner() override;
    ResultsRunner(const ResultsRunner &) = delete;
    ResultsRunner &operator=(const ResultsRunner &) = delete;

    // Starts a search of `discs` for `query`; returns its number.
    quint64 start(std::vector<ResultDisc> discs, const QString &dataFolder, const ResultQuery &query);
    // Drops the search that runs.
    void stop();
    // Frees rows on the runner's thread, before its next search.
    void dispose(ResultStore &&rows);
    [[nodiscard]] quint64 current() const { return m_generation; }

    // Run on the window's thread, for the current search only.
    std::function<void(ResultStore &&rows)> rowsArrived;
    std::function<void(const ResultsOutcome &outcome)> finished;

  private:
    struct Job {
        quint64 generation = 0;
        std::vector<ResultDisc> discs;
        QString dataFolder;
        ResultQuery query;
    };
    void work();
    void run(Job &job);
    void post(quint64 generation, std::function<void()> deliver);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<Job> m_pending;
    std::vector<ResultStore> m_disposed;
    bool m_quit = false;
    std::atomic<quint64> m_generation = 0;
    std::thread m_thread;
};
