#include "ui/application.h"

#include "catalogue/settings.h"
#include "ui/w_list.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

tarvek::tarvek() = default;
tarvek::~tarvek() = default;

void tarvek::create()
{
    QCoreApplication::setApplicationName(QStringLiteral("tarvek"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/tarvek.png")));
    installFontSubstitutions();
    m_qtTranslator = std::make_unique<QTranslator>();
    if (m_qtTranslator->load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"),
                             QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(m_qtTranslator.get());
}

void tarvek::open(const QString &)
{
    initGlobals();
    m_window = std::make_unique<w_list>(m_fs);
    m_window->open();
    // Centred on the screen when opened.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
}

void tarvek::destroy()
{
    m_window.reset();
}
