// Charts naming audio that cannot be played, started with the real SDL_mixer
// player (SDL's dummy driver): the start says which file and why, stops where
// it failed, and the game goes on; a later start with good audio plays.
#include <QByteArray>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/stat.h>

#include "audio/SdlMediaPlayer.h"
#include "support/Wav.h"
#include "support/WindowTest.h"

namespace zorv::test {
namespace {

QByteArray tone()
{
    QFile file(QStringLiteral(ZORV_TEST_TONE));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BadAudio : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        const QByteArray good = tone();
        ASSERT_FALSE(good.isEmpty());
        writeFile("good.mp3", good);
        writeFile("Virizivez.txt", "v good.mp3\n1 0\n0 0\n");
        openForm(player);
    }

    // Dodoroza names `audio`.
    void chartNaming(const QString& audio) { writeFile("Dodoroza.txt", "d " + audio.toUtf8() + "\n2 0\n0 0\n"); }

    struct Snapshot {
        ButtonStates buttons;
        QString minutes, seconds;
        int barMaximum;
    };
    Snapshot snapshot() const
    {
        return {states(*form), form->Edit3->text(), form->Edit4->text(), form->TrackBar1->maximum()};
    }
    void expectUnchanged(const Snapshot& before) const
    {
        const Snapshot after = snapshot();
        EXPECT_EQ(after.buttons, before.buttons);
        EXPECT_EQ(after.minutes, before.minutes);
        EXPECT_EQ(after.seconds, before.seconds);
        EXPECT_EQ(after.barMaximum, before.barMaximum);
    }

    // Starts the good song and lets the clock run until the music is heard.
    void playGoodSong()
    {
        chooseSong(form->RadioButton2);
        const int messages = shell.messages.size();
        start();
        EXPECT_EQ(shell.messages.size(), messages) << shell.messages.join('\n').toStdString();
        EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
        EXPECT_NEAR(form->TrackBar1->maximum(), 3000, 60);
        EXPECT_EQ(form->Edit3->text(), "0");
        // The bar keeps the last song's position until the first tick.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return form->game().nextNote == 2 && form->TrackBar1->value() > 100 &&
                       form->TrackBar1->value() < form->TrackBar1->maximum();
            },
            2500))
            << "no tick followed the music: note " << form->game().nextNote << " at " << form->TrackBar1->value();
    }

    SdlMediaPlayer player;
};

struct AudioCase {
    const char* name;
    const char* file;                                // as the chart names it
    enum { absent, written, directory, fifo } make;  // written: a file of `bytes`
    QByteArray bytes;
    const char* cause;  // nullptr: either plays or is refused as not playable
};

TEST_F(BadAudio, FailedStartNamesFileAndCauseAndTheGameGoesOn)
{
    const AudioCase cases[] = {
        {"missing", "missing.mp3", AudioCase::absent, {}, "no such file"},
        {"empty", "empty.mp3", AudioCase::written, {}, "not playable audio"},
        {"text", "notes.mp3", AudioCase::written, "title: not a song\nbpm: 120\n", "not playable audio"},
        {"directory", "folder.mp3", AudioCase::directory, {}, "it is a directory"},
        // Reading either would never end: no writer, no end of data.
        {"FIFO", "pipe.mp3", AudioCase::fifo, {}, "not a regular file"},
        {"endless device", "/dev/zero", AudioCase::absent, {}, "not a regular file"},
        {"WAV under an .mp3 name", "disguised.mp3", AudioCase::written, QByteArray::fromStdString(silentWav(500)),
         nullptr},
    };
    for (const AudioCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.make == AudioCase::written) {
            writeFile(c.file, c.bytes);
        } else if (c.make == AudioCase::directory) {
            ASSERT_TRUE(folder().mkpath(c.file));
        } else if (c.make == AudioCase::fifo) {
            ASSERT_EQ(mkfifo(filePath(c.file).toLocal8Bit().constData(), 0600), 0);
        }
        chartNaming(c.file);

        playGoodSong();
        stop();
        chooseSong(form->RadioButton1);
        const Snapshot before = snapshot();
        shell.messages.clear();
        start();

        const bool refused = !shell.messages.isEmpty();
        if (c.cause || refused) {
            ASSERT_EQ(shell.messages.size(), 1);
            const std::string message = shell.messages.front().toStdString();
            EXPECT_NE(message.find('"' + std::string(c.file) + '"'), std::string::npos) << message;
            EXPECT_NE(message.find(c.cause ? c.cause : "not playable audio"), std::string::npos) << message;
            expectUnchanged(before);
            EXPECT_EQ(form->game().nextNote, 1);
            stop();
        } else {
            EXPECT_NEAR(form->TrackBar1->maximum(), 500, 10);
            EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
            stop();
        }
        playGoodSong();
        stop();
    }
}

// The header keeps claiming the full length; the song ends when the data does.
TEST_F(BadAudio, TruncatedMp3PlaysWhatDecodes)
{
    writeFile("cut.mp3", tone().left(6000));
    chartNaming("cut.mp3");
    chooseSong(form->RadioButton1);
    start();
    EXPECT_TRUE(shell.messages.isEmpty()) << shell.messages.join('\n').toStdString();
    EXPECT_EQ(states(*form), (ButtonStates{false, true, false, true, true}));
    const int length = form->TrackBar1->maximum();
    EXPECT_NEAR(length, 3000, 60);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->TrackBar1->value() > 0; }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->TrackBar1->value() == length; }, 2500))
        << "stuck at " << form->TrackBar1->value();
    stop();
    playGoodSong();
}

TEST_F(BadAudio, NoAudioDeviceFailsTheStartUntilOneIsThere)
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    chartNaming("good.mp3");
    chooseSong(form->RadioButton1);
    const Snapshot before = snapshot();

    setenv("SDL_AUDIODRIVER", "zorv-no-such-driver", 1);
    start();
    if (driver)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");

    ASSERT_EQ(shell.messages.size(), 1);
    const std::string message = shell.messages.front().toStdString();
    EXPECT_NE(message.find("\"good.mp3\""), std::string::npos) << message;
    EXPECT_NE(message.find("no usable audio device"), std::string::npos) << message;
    expectUnchanged(before);
    EXPECT_EQ(before.buttons, (ButtonStates{true, true, true, false, false}));

    playGoodSong();
}

}  // namespace
}  // namespace zorv::test
