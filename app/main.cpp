// The game: one window, its message loop, exit status 0 whatever happens.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/Form.h"
#include "app/PadKeys.h"
#include "app/Shell.h"
#include "audio/SdlMediaPlayer.h"

namespace {

// The game ends with status 0 whatever happens, also when Qt gives up
// (no display to open, say): the reason goes to stderr.
void exitQuietlyOnFatal(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        std::fflush(stderr);
        std::_Exit(0);
    }
}

void showStartupError(const QString& message)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorv"), message, QMessageBox::Ok);
    box.exec();
}

}  // namespace

// The game takes no command line. Qt reads its own options (-style, -reverse,
// -qwindowgeometry, -platform, -display, ...) from the arguments it is handed,
// so it gets a fixed program name and nothing else; its environment variables
// (QT_QPA_PLATFORM, QT_STYLE_OVERRIDE, ...) still apply.
int main()
{
    qInstallMessageHandler(exitQuietlyOnFatal);
    char programName[] = "zorv";
    char* qtArgv[] = {programName, nullptr};
    int qtArgc = 1;  // QApplication keeps a reference: it must outlive app
    QApplication app(qtArgc, qtArgv);
    try {
        app.setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
        zorv::SdlMediaPlayer player;
        zorv::QtShell shell;
        TForm1 form(player, shell);
        Form1 = &form;
        form.show();
        zorv::PadKeys pads(form);  // mats and gamepads, plugged in now or later
        app.exec();
    } catch (const std::exception& error) {
        showStartupError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showStartupError(QString());
    }
    return 0;
}
