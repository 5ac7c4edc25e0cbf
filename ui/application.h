#pragma once

#include "files/filesystem.h"

#include <QString>
#include <memory>

class w_list;

// The application object: fixes the global settings and opens the main window.
class tarvek {
  public:
    tarvek();
    ~tarvek();

    // Names the application, sets its icon and fonts, and has Qt's own dialogs (printing, file
    // selection, standard buttons) speak Korean like the rest of the program.
    void create();
    // The command line is not used: the program has no options.
    void open(const QString &commandline);
    void destroy();

    [[nodiscard]] w_list *mainWindow() const { return m_window.get(); }

  private:
    LocalFileSystem m_fs;
    std::unique_ptr<class QTranslator> m_qtTranslator; // Qt's own dialogs in Korean
    std::unique_ptr<w_list> m_window;
};
