// The game: one window, its message loop, exit status 0 whatever happens.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <exception>

#include "app/Form.h"
#include "app/Shell.h"
#include "audio/SdlMediaPlayer.h"

namespace {

void showStartupError(const QString& message)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorv"), message, QMessageBox::Ok);
    box.exec();
}

}  // namespace

int main(int argc, char* argv[])
{
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
