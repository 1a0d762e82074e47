#pragma once
// The fixture the window's own tests share (tests/app/Form*Test.cpp).

#include <string>

#include "app/Form.h"
#include "app/PictureBox.h"
#include "support/FakeMediaPlayer.h"
#include "support/WindowTest.h"

namespace zorv::test {

// Two charts of one and two notes, on a player that reports a song of
// 125,400 ms and whatever position the test sets.
class FormTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        writeFile("Dodoroza.txt", "d dodoroza.mp3\n1 0\n0 0\n");
        writeFile("Virizivez.txt", "v virizivez.mp3\n4 0\n2 0\n0 0\n");
        player.lengthMs = 125400;
        openForm(player);
    }

    // Dodoroza holds one left note at 0 ms; 57 ticks raise it to Top 14.
    void playUntilTheLeftArrowIsGreat()
    {
        chooseSong(form->RadioButton1);
        start();
        for (int i = 0; i < 57; ++i) {
            player.positionMs = i * 50;
            form->Timer1Timer();
        }
    }

    // The lanes whose targets are hidden, left, up, down, right: "x..." while
    // the left one is held down.
    std::string held() const
    {
        std::string lanes;
        for (QWidget* target : {form->bleft, form->bup, form->bdown, form->bright})
            lanes += target->isVisible() ? '.' : 'x';
        return lanes;
    }

    FakeMediaPlayer player;
};

}  // namespace zorv::test
