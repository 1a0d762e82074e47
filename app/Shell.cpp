#include "app/Shell.h"

#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

namespace zorv {

void QtShell::showMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorv"), text, QMessageBox::Ok, parent);
    box.exec();
}

void QtShell::exitProcess(int status)
{
    // Straight out, as from inside any handler: no further event is handled
    // and nothing of the window is torn down on the way.
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace zorv
