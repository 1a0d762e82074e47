#pragma once
// The window under test: a fixture that runs it in a scratch working
// directory holding whatever charts and audio a test writes, with a shell
// that records messages and exits, and drives it as a player would: the
// song panel, the buttons, keys delivered to the window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <ostream>

#include "app/Form.h"
#include "audio/MediaPlayer.h"
#include "support/RecordingShell.h"
#include "support/TempDir.h"

namespace zorv::test {

// The enabled state of the four buttons, and whether the tick timer runs.
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

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder().path()));
    }

    void TearDown() override
    {
        form.reset();
        QDir::setCurrent(previousDir);
    }

    QDir folder() const { return QDir(QString::fromStdString(dir.path().string())); }
    QString filePath(const QString& name) const { return folder().filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // A new window on `player`, shown and active, in place of any earlier one.
    void openForm(MediaPlayer& player)
    {
        form = std::make_unique<TForm1>(player, shell);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void chooseSong(QRadioButton* radio)
    {
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QTest::mouseClick(radio, Qt::LeftButton);
    }
    void start() { QTest::mouseClick(form->Button3, Qt::LeftButton); }
    void stop() { QTest::mouseClick(form->Button4, Qt::LeftButton); }

    // Sent to the window, as the platform delivers keys.
    void sendKey(QEvent::Type type, Qt::Key key, bool autoRepeat = false,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(form->windowHandle(), &event);
    }
    void press(Qt::Key key, bool autoRepeat = false) { sendKey(QEvent::KeyPress, key, autoRepeat); }
    void release(Qt::Key key, bool autoRepeat = false) { sendKey(QEvent::KeyRelease, key, autoRepeat); }

    TempDir dir;
    QString previousDir;
    RecordingShell shell;
    std::unique_ptr<TForm1> form;
};

}  // namespace zorv::test
