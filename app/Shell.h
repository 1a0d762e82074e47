#pragma once
// What the window needs from its surroundings: modal messages and the end of
// the process. Tests put a recording fake in place of the real one.

#include <QString>

class QWidget;

namespace zorv {

class Shell {
public:
    virtual ~Shell() = default;
    // Shows `text` in a modal box over `parent` and returns once it is
    // dismissed. Timer events go on being handled meanwhile.
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
    // Ends the process with `status`. Only a test's shell returns.
    virtual void exitProcess(int status) = 0;
};

// Message boxes and process exit for the real program.
class QtShell final : public Shell {
public:
    void showMessage(QWidget* parent, const QString& text) override;
    [[noreturn]] void exitProcess(int status) override;
};

}  // namespace zorv
