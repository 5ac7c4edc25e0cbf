#include "bench/thumbview.h"

#include "catalogue/sidefacts.h"
#include "search/resultsearch.h"
#include "support/mediadiscs.h"
#include "ui/thumbnailview.h"
#include "ui/w_results_model.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>

#include <cstdio>

int thumbviewFigures(const QString &folder, const Figure &figure)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    if (!mediadiscs::writeDiscs(folder, 1000)) {
        std::fprintf(stderr, "thumbview: cannot write the discs in %s\n", qPrintable(folder));
        return 1;
    }
    // A thumbnail as a store would hold it: a JPEG of the size the scan makes.
    QImage picture(160, 120, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QLinearGradient(0, 0, 160, 120));
    painter.drawEllipse(20, 10, 120, 100);
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 80);
    const std::vector<ResultDisc> discs = {{QStringLiteral("cd_media.dat"), QStringLiteral("MEDIA"), {}, {}},
                                           {QStringLiteral("cd_old.dat"), QStringLiteral("OLD"), {}, {}}};
    ResultsModel model;
    std::vector<SideFacts> facts;
    for (const ResultDisc &disc : discs)
        facts.push_back(readSideFacts(folder, disc.file));
    model.start(discs, {Qt::black, Qt::black}, facts);
    HookContext hooks;
    searchResults(hooks, model.store(), folder, QStringLiteral("n0"));
    model.rowsFound(0, model.store().rowCount());
    const int rows = model.rowCount();
    qsizetype asked = 0;
    const double best = gridFirstScreenMs(model, [&]() -> ThumbnailProvider {
        asked = 0;
        return [&](const QString &, qint64) {
            ++asked;
            return QImage::fromData(jpeg, "JPEG");
        };
    });
    if (rows != 2000 || asked == 0) {
        std::fprintf(stderr, "thumbview: %d results, %lld thumbnails asked for\n", rows, qint64(asked));
        return 1;
    }
    figure("thumbnail_view_results", rows, 0);
    figure("thumbnail_view_thumbnails_drawn", double(asked), 0);
    figure("thumbnail_view_first_screen_ms", best, 2);
    return 0;
}

double gridFirstScreenMs(ResultsModel &model, const std::function<ThumbnailProvider()> &provider)
{
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QWidget window;
        window.resize(1000, 700);
        window.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        ThumbnailView view(model, &window);
        view.resize(window.size());
        view.thumbnails().setProvider(provider());
        view.show();
        view.viewport()->repaint();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}
