#pragma once
// The window on a temporary working directory holding whatever charts and
// audio a test writes, driven through its buttons and song panel, with a
// shell that records messages and exits instead of showing or doing them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/Shell.h"
#include "audio/MediaPlayer.h"
#include "support/FormSupport.h"

namespace zorv::test {

class FormOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
    }

    void TearDown() override
    {
        form.reset();
        QDir::setCurrent(previousDir);
    }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

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

    QTemporaryDir dir;
    QString previousDir;
    FakeShell shell;
    std::unique_ptr<TForm1> form;
};

}  // namespace zorv::test
