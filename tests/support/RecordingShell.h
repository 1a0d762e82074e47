#pragma once
// A shell that records the messages it is asked to show and the exits it is
// asked to make, instead of showing or doing them.

#include <QString>
#include <QStringList>
#include <vector>

#include "app/Shell.h"

namespace zorv::test {

class RecordingShell : public Shell {
public:
    QStringList messages;  // in the order shown
    std::vector<int> exits;
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    void exitProcess(int status) override { exits.push_back(status); }
};

}  // namespace zorv::test
