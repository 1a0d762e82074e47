#pragma once
// The game window. It delivers clicks, ticks and keys to the rules and
// mirrors every change the rules make onto its widgets; no rule lives here.

#include <QWidget>
#include <array>
#include <cstdint>
#include <utility>

#include "core/Lanes.h"
#include "state/Game.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace zorv {
class MediaPlayer;
class PictureBox;
class Shell;
namespace layout {
struct Control;
}
}  // namespace zorv

class TForm1 : public QWidget, private zorv::Display {
    Q_OBJECT

public:
    // Neither the player nor the shell is owned; both outlive the form.
    TForm1(zorv::MediaPlayer& player, zorv::Shell& shell, QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, in the order the form declares them. Owned by the form.
    QFrame* Panel1{};
    zorv::PictureBox *bgd{}, *bleft{}, *bup{}, *bdown{}, *bright{}, *left1{}, *left2{}, *left3{}, *left4{};
    zorv::MediaPlayer& MediaPlayer1;
    QTimer* Timer1{};
    QPushButton *Button1{}, *Button2{}, *Button3{};
    QSlider* TrackBar1{};
    QPushButton* Button4{};
    QLineEdit *Edit1{}, *Edit2{}, *Edit3{}, *Edit4{};
    zorv::PictureBox *up1{}, *up2{}, *up3{}, *up4{}, *down1{}, *down2{}, *down3{}, *down4{};
    zorv::PictureBox *right1{}, *right2{}, *right3{}, *right4{};
    QLineEdit *Edit5{}, *Edit6{}, *Edit7{}, *Edit8{}, *Edit9{};
    QLabel *Label1{}, *Label2{}, *Label3{}, *Label4{}, *Label5{};
    zorv::PictureBox *greati{}, *badi{}, *goodi{}, *missi{};
    QFrame* Panel2{};
    QRadioButton *RadioButton1{}, *RadioButton2{};
    QLabel *Label6{}, *Label7{};

    // The game state the widgets mirror; lives as long as the form.
    const zorv::Game& game() const { return game_; }

    // Handlers. Each runs to completion; an error escaping one is shown in a
    // message box and the event loop goes on.
    void Button1Click();
    void Button3Click();
    void Button2Click();
    void Button4Click();
    void Timer1Timer();
    // Virtual key codes: 37 left, 38 up, 39 right, 40 down; others are ignored.
    void FormKeyDown(std::uint16_t& key, Qt::KeyboardModifiers shift);
    void FormKeyUp(std::uint16_t& key, Qt::KeyboardModifiers shift);
    void image_1();
    void image_2();
    void image_3();
    void image_4();
    void RadioButton1Click();
    void RadioButton2Click();
    void festival();
    void virizivez();

    // A dance mat's or gamepad's direction (app/PadKeys.h): the press or
    // release of its lane's cursor key, through the handlers above. Devices
    // and the keyboard are alike to the game: every press is judged and
    // every release shows the target again, whichever of them holds the lane.
    void deviceKey(zorv::Lane lane, bool pressed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void pictureShown(zorv::Picture picture, bool visible) override;
    void pictureMoved(zorv::Picture picture, std::int32_t top) override;
    void textSet(zorv::Box box, std::string_view text) override;

    // The tick's dispatch of a due note: image_1..image_4 by its lane.
    void spawnInto(zorv::Lane lane);
    // A song chosen on the panel: load its chart, then close the panel
    // unless the load ended the game.
    void songChosen(void (TForm1::*loadSong)());

    // The controls of the layout table, each field bound to the control of
    // its name, with their initial state.
    void createControls();
    void createControl(const zorv::layout::Control& row);
    template <typename Control>
    void bind(Control*& field, const char* name);
    template <typename... Controls>
    void bindAll(std::pair<Controls**, const char*>... fields);
    void setUpControls();
    void showFieldState();
    void wireEvents();
    // Loads a chart from the working directory; if it cannot be opened, says
    // so and ends the process.
    void loadSongChart(const char* fileName);
    // Runs a handler, reporting any error it raises instead of letting it
    // cross Qt's event machinery.
    template <typename Handler>
    void guarded(Handler&& handler);
    bool previewKey(QEvent* event);

    zorv::Game game_;
    zorv::Shell& shell_;
    bool ending_ = false;  // the process is ending after a chart failed to open
    std::array<zorv::PictureBox*, zorv::kPictureCount> pictures_{};
    std::array<QLineEdit*, zorv::kBoxCount> boxes_{};
};

// The one game window of the process.
extern TForm1* Form1;

// Virtual key code of a Qt key: the four cursor keys (keypad ones too) give
// 37..40, every other key 0.
std::uint16_t virtualKeyOf(int qtKey);
// The cursor key that judges `lane`; Qt::Key_unknown for a value that is no lane.
Qt::Key qtKeyOf(zorv::Lane lane);
