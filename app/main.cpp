// The game: one window, its message loop, exit status 0 whatever happens.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/Form.h"
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

int main(int argc, char* argv[])
{
    qInstallMessageHandler(exitQuietlyOnFatal);
    QApplication app(argc, argv);
    try {
        app.setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
        zorv::SdlMediaPlayer player;
        zorv::QtShell shell;
        TForm1 form(player, shell);
        Form1 = &form;
        form.show();
        app.exec();
    } catch (const std::exception& error) {
        showStartupError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showStartupError(QString());
    }
    return 0;
}
