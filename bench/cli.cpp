#include "bench/cli.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

struct Run {
    double ms = 0;
    int status = -1;
    QByteArray out;
};

double now()
{
    struct timespec t;
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// One run of a program, timed from the spawn to its end; its output kept (through a pipe read
// after the end would block a large output, so it goes to a file).
Run runOnce(const QList<QByteArray> &command, bool keepOutput)
{
    char outPath[] = "/tmp/tarvek-bench-cli-XXXXXX";
    const int outFd = ::mkstemp(outPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, keepOutput ? outFd : ::open("/dev/null", O_WRONLY), 1);
    std::vector<char *> argv;
    for (const QByteArray &arg : command)
        argv.push_back(const_cast<char *>(arg.constData()));
    argv.push_back(nullptr);
    Run run;
    const double start = now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.ms = now() - start;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (keepOutput) {
        ::lseek(outFd, 0, SEEK_SET);
        char buffer[65536];
        for (ssize_t n; (n = ::read(outFd, buffer, sizeof buffer)) > 0;)
            run.out.append(buffer, n);
    }
    ::close(outFd);
    ::unlink(outPath);
    return run;
}

// The median of `runs` runs after one that warms the caches (and, for tarvek-cli, brings the
// search index up to date), with the warm-up's output.
Run median(const QList<QByteArray> &command, int runs = 21)
{
    Run first = runOnce(command, true);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(runOnce(command, false).ms);
    std::sort(times.begin(), times.end());
    first.ms = times[times.size() / 2];
    return first;
}

void figure(const char *name, double value, int decimals)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

} // namespace

int cliFigures(const QString &cli, const QString &dataFolder, const QString &hitWord,
               const QString &plocateDb)
{
    const QByteArray program = cli.toLocal8Bit(), data = dataFolder.toLocal8Bit(),
                     db = plocateDb.toLocal8Bit();
    const QByteArray miss = QStringLiteral("없는단어").toUtf8(), hit = hitWord.toUtf8();
    const Run startup = median({program, "--version"}, 51);
    const Run cliMiss = median({program, "--data", data, "search", miss});
    const Run cliHit = median({program, "--data", data, "search", hit});
    const Run locateMiss = median({"plocate", "-d", db, "-c", miss});
    const Run locateHit = median({"plocate", "-d", db, "-c", hit});
    // The discs plocate's rows lie on: the first component of each path is the disc's label.
    QList<QByteArray> discs;
    for (const QByteArray &path : runOnce({"plocate", "-d", db, hit}, true).out.split('\n')) {
        if (!path.isEmpty())
            discs << path.mid(1, path.indexOf('/', 1) - 1);
    }
    std::sort(discs.begin(), discs.end());
    discs.erase(std::unique(discs.begin(), discs.end()), discs.end());
    figure("cli_startup_ms", startup.ms, 2);
    figure("cli_search_miss_ms", cliMiss.ms, 2);
    figure("cli_search_hit_ms", cliHit.ms, 2);
    figure("plocate_miss_ms", locateMiss.ms, 2);
    figure("plocate_hit_ms", locateHit.ms, 2);
    figure("cli_ratio_vs_plocate", std::max(cliMiss.ms / locateMiss.ms, cliHit.ms / locateHit.ms), 2);
    figure("cli_hit_discs", double(cliHit.out.count('\n')), 0);
    figure("plocate_hit_discs", double(discs.size()), 0);
    figure("plocate_hit_rows", locateHit.out.trimmed().toDouble(), 0);
    return startup.status == 0 && cliHit.status == 0 && cliMiss.status == 1 && !discs.isEmpty() ? 0 : 1;
}
