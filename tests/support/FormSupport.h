#pragma once
// Shared by the window tests: a shell that records messages and exits
// instead of showing or doing them, and the state of the playback buttons.

#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <ostream>
#include <vector>

#include "app/Form.h"
#include "app/Shell.h"

namespace zorv::test {

class FakeShell : public Shell {
public:
    QStringList messages;
    std::vector<int> exits;
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    void exitProcess(int status) override { exits.push_back(status); }
};

struct ButtonStates {
    bool list, close, start, stop, timer;
    bool operator==(const ButtonStates&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ButtonStates& s)
{
    return out << "{list " << s.list << ", close " << s.close << ", start " << s.start << ", stop " << s.stop
               << ", timer " << s.timer << "}";
}

inline ButtonStates states(const TForm1& form)
{
    return {form.Button1->isEnabled(), form.Button2->isEnabled(), form.Button3->isEnabled(), form.Button4->isEnabled(),
            form.Timer1->isActive()};
}

}  // namespace zorv::test
