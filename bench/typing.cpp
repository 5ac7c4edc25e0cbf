// Figures for bench/run search: the results window searched as the user types.

#include "bench/typing.h"

#include "ui/w_list.h"
#include "ui/w_results.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

namespace {

// Runs events as the window's loop does, sleeping between them (a busy loop here would take the
// processor from the search being measured), woken at least every millisecond to look.
void runEventsUntil(const std::function<bool()> &done)
{
    QTimer tick;
    tick.start(1);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// A key typed into the box as the keyboard gives it: the character arrives in a key event.
void typeKey(QLineEdit *box, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QCoreApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, text);
    QCoreApplication::sendEvent(box, &release);
}

struct Typed {
    double firstScreenMs = 0;
    double countMs = 0;
    qsizetype rows = 0;
};

// Types `word` into the empty box, all but its last character first (and waits for that
// search), then its last character, timed to the first screen of rows and to the full count.
Typed typeWord(w_results &results, const QString &word)
{
    QLineEdit *box = results.queryBox();
    box->clear();
    typeKey(box, word.left(word.size() - 1));
    runEventsUntil([&] { return results.text() == word.left(word.size() - 1) && !results.searching(); });
    const int screen = std::max(1, results.view()->viewport()->height() /
                                       results.view()->verticalHeader()->defaultSectionSize());
    QElapsedTimer timer;
    timer.start();
    typeKey(box, word.right(1));
    Typed typed;
    runEventsUntil([&] {
        return results.text() == word && (results.model().rowCount() >= screen || !results.searching());
    });
    typed.firstScreenMs = timer.nsecsElapsed() / 1e6;
    runEventsUntil([&] { return results.text() == word && !results.searching(); });
    typed.countMs = timer.nsecsElapsed() / 1e6;
    typed.rows = results.model().rowCount();
    return typed;
}

// The best of three.
Typed bestOf(w_results &results, const QString &word)
{
    Typed best{1e12, 1e12, 0};
    for (int run = 0; run < 3; ++run) {
        const Typed typed = typeWord(results, word);
        best = {std::min(best.firstScreenMs, typed.firstScreenMs), std::min(best.countMs, typed.countMs),
                typed.rows};
    }
    return best;
}

// The longest time from a key to its character in the box, painted, for keys typed while the
// search of a common word runs.
double echoWhileSearching(w_results &results, const QString &commonWord)
{
    QLineEdit *box = results.queryBox();
    double longest = 0;
    for (int key = 0; key < 10; ++key) {
        box->setText(commonWord);
        runEventsUntil([&] { return results.searching(); });
        QElapsedTimer wait;
        wait.start();
        runEventsUntil([&] { return wait.elapsed() >= 30 + 7 * key; });
        if (!results.searching())
            continue; // the search ended before the key came
        QElapsedTimer timer;
        timer.start();
        typeKey(box, QStringLiteral(" "));
        box->repaint();
        longest = std::max(longest, timer.nsecsElapsed() / 1e6);
    }
    runEventsUntil([&] { return !results.searching(); });
    return longest;
}

} // namespace

void typingFigures(w_list &window, const QString &rareWord, const Figure &figure)
{
    window.sle_search->clear();
    window.ue_results();
    w_results *results = window.findChild<w_results *>();
    if (!results)
        return;
    results->resize(820, 480);
    QCoreApplication::processEvents();
    const QString common = QStringLiteral("문서");
    const struct {
        const char *name;
        QString word;
    } words[] = {{"miss", QStringLiteral("없는단어")},
                 // A phrase: as two words, "문서 19" would be two common ones. Typed as a user
                 // types it, the closing quote not yet there.
                 {"rare", u'"' + rareWord},
                 {"common", common},
                 {"chosung", QStringLiteral("ㅁㅅ")},
                 {"chosung3", QStringLiteral("ㅈㅈㄷ")}};
    for (const auto &word : words) {
        const Typed typed = bestOf(*results, word.word);
        figure((QByteArray("typing_first_screen_ms_") + word.name).constData(), typed.firstScreenMs, 1);
        figure((QByteArray("typing_count_ms_") + word.name).constData(), typed.countMs, 1);
        figure((QByteArray("typing_rows_") + word.name).constData(), double(typed.rows), 0);
    }
    figure("typing_echo_ms_max", echoWhileSearching(*results, common), 2);
    // What the window holds for the rows of the common word (the heap's own count is no measure
    // here: the rows are made on the search's threads, in their allocator arenas).
    typeWord(*results, common);
    const qint64 rows = results->model().rowCount();
    figure("results_store_bytes_per_row", double(results->model().store().bytesUsed()) / double(rows), 1);
}
