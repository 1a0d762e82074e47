#include "app/Form.h"

#include <QApplication>
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/Layout.h"
#include "app/PictureBox.h"
#include "app/Shell.h"
#include "audio/MediaPlayer.h"
#include "judge/Judge.h"
#include "play/Play.h"

TForm1* Form1 = nullptr;

// The pictures live in a static library, whose resource table the linker
// would otherwise leave out.
static void initAssets() { Q_INIT_RESOURCE(assets); }

using zorv::Box;
using zorv::Picture;
using zorv::PictureBox;

namespace {

// One tick mark per 10 s of song: one per millisecond would be a wall of lines.
constexpr int kTrackBarTickInterval = 10'000;
// Keeps far-off arrows inside the coordinates the toolkit can handle.
constexpr int kFarOffPixels = 1'000'000;

QFont sansSerif(int pixelSize)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

// Hangul captions: Nanum where installed, whatever fontconfig finds otherwise.
QFont songPanelFont()
{
    QFont font = sansSerif(20);
    font.setFamilies({QStringLiteral("NanumGothic"), QStringLiteral("Sans Serif")});
    return font;
}

// Pictures are built into the program; one missing is a broken build.
QImage bitmap(const char* name)
{
    QImage image(QStringLiteral(":/assets/%1.bmp").arg(QLatin1String(name)));
    if (image.isNull())
        throw std::runtime_error(std::string("Built-in picture missing: ") + name);
    return image;
}

// The position bar. Its value changes every tick, but its handle moves one
// pixel only every few hundred milliseconds of song, and a full redraw
// through the style cost about as much as all sixteen arrows; so it redraws
// only when the handle would be drawn somewhere else.
class PositionBar final : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderValueChange && handle() == drawnHandle_)
            return;
        QSlider::sliderChange(change);
    }

    void paintEvent(QPaintEvent* event) override
    {
        drawnHandle_ = handle();
        QSlider::paintEvent(event);
    }

private:
    QRect handle() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    }

    QRect drawnHandle_;
};

}  // namespace

namespace {

// The toolkit's key of each lane: the one map from keys to lanes on this
// side of the rules (the keypad's arrows arrive as these too).
constexpr std::pair<Qt::Key, zorv::Lane> kLaneOfQtKey[] = {
    {Qt::Key_Left, zorv::Lane::left},
    {Qt::Key_Up, zorv::Lane::up},
    {Qt::Key_Down, zorv::Lane::down},
    {Qt::Key_Right, zorv::Lane::right},
};

}  // namespace

std::uint16_t virtualKeyOf(int qtKey)
{
    for (const auto& [key, lane] : kLaneOfQtKey) {
        if (key == qtKey)
            return zorv::keyOfLane(lane);
    }
    return 0;
}

Qt::Key qtKeyOf(zorv::Lane lane)
{
    for (const auto& [key, itsLane] : kLaneOfQtKey) {
        if (itsLane == lane)
            return key;
    }
    return Qt::Key_unknown;
}

TForm1::TForm1(zorv::MediaPlayer& player, zorv::Shell& shell, QWidget* parent)
    : QWidget(parent), MediaPlayer1(player), shell_(shell)
{
    initAssets();
    setWindowTitle(QStringLiteral("Zorv"));
    setFont(sansSerif(11));
    move(zorv::layout::kWindow.left, zorv::layout::kWindow.top);
    resize(zorv::layout::kWindow.width, zorv::layout::kWindow.height);
    createControls();
    wireEvents();
    game_.field.setDisplay(this);
    Button1->setFocus();
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
    game_.field.setDisplay(nullptr);
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::createControls()
{
    for (const zorv::layout::Control& row : zorv::layout::kControls)
        createControl(row);
        // Each field to the control of its own name.
#define ZORV_FIELD(field) std::pair{&field, #field}
    bindAll(ZORV_FIELD(Panel1), ZORV_FIELD(bgd), ZORV_FIELD(bleft), ZORV_FIELD(bup), ZORV_FIELD(bdown),
            ZORV_FIELD(bright), ZORV_FIELD(left1), ZORV_FIELD(left2), ZORV_FIELD(left3), ZORV_FIELD(left4),
            ZORV_FIELD(Button1), ZORV_FIELD(Button2), ZORV_FIELD(Button3), ZORV_FIELD(TrackBar1), ZORV_FIELD(Button4),
            ZORV_FIELD(Edit1), ZORV_FIELD(Edit2), ZORV_FIELD(Edit3), ZORV_FIELD(Edit4), ZORV_FIELD(up1),
            ZORV_FIELD(up2), ZORV_FIELD(up3), ZORV_FIELD(up4), ZORV_FIELD(down1), ZORV_FIELD(down2), ZORV_FIELD(down3),
            ZORV_FIELD(down4), ZORV_FIELD(right1), ZORV_FIELD(right2), ZORV_FIELD(right3), ZORV_FIELD(right4),
            ZORV_FIELD(Edit5), ZORV_FIELD(Edit6), ZORV_FIELD(Edit7), ZORV_FIELD(Edit8), ZORV_FIELD(Edit9),
            ZORV_FIELD(Label1), ZORV_FIELD(Label2), ZORV_FIELD(Label3), ZORV_FIELD(Label4), ZORV_FIELD(Label5),
            ZORV_FIELD(greati), ZORV_FIELD(badi), ZORV_FIELD(goodi), ZORV_FIELD(missi), ZORV_FIELD(Panel2),
            ZORV_FIELD(RadioButton1), ZORV_FIELD(RadioButton2), ZORV_FIELD(Label6), ZORV_FIELD(Label7));
#undef ZORV_FIELD
    setUpControls();
    showFieldState();
}

void TForm1::createControl(const zorv::layout::Control& row)
{
    using zorv::layout::Kind;
    QWidget* parent = this;
    if (row.parent != nullptr)
        bind(parent, row.parent);
    const QString text = QString::fromUtf8(row.text);
    QWidget* control = nullptr;
    switch (row.kind) {
    case Kind::panel: control = new QFrame(parent); break;
    case Kind::picture: control = new PictureBox(parent, bitmap(row.text), row.transparent, row.stretched); break;
    case Kind::label: control = new QLabel(text, parent); break;
    case Kind::button: control = new QPushButton(text, parent); break;
    case Kind::positionBar: control = new PositionBar(Qt::Horizontal, parent); break;
    case Kind::editBox: control = new QLineEdit(parent); break;
    case Kind::radioButton: control = new QRadioButton(text, parent); break;
    }
    control->setObjectName(QLatin1String(row.name));
    // The song panel's captions are Hangul.
    if (row.parent != nullptr && std::string_view(row.parent) == "Panel2")
        control->setFont(songPanelFont());
    if (row.width == 0 && row.height == 0) {
        control->move(row.left, row.top);
        control->adjustSize();
    } else {
        control->setGeometry(row.left, row.top, row.width, row.height);
    }
}

// A name the layout table lacks, or a control of another kind, is a broken build.
template <typename Control>
void TForm1::bind(Control*& field, const char* name)
{
    field = dynamic_cast<Control*>(findChild<QWidget*>(QLatin1String(name)));
    if (field == nullptr)
        throw std::logic_error(std::string("The layout has no control ") + name + " of its field's kind");
}

template <typename... Controls>
void TForm1::bindAll(std::pair<Controls**, const char*>... fields)
{
    (bind(*fields.first, fields.second), ...);
}

void TForm1::setUpControls()
{
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(zorv::layout::kPanelBorder);
    TrackBar1->setRange(0, 0);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->setTickInterval(kTrackBarTickInterval);
    Button4->setEnabled(false);

    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(zorv::kTickMs);

    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setAutoFillBackground(true);
    QPalette white = Panel2->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel2->setPalette(white);
    Panel2->hide();

    // Focus order: buttons and bar, the edit boxes, then the song panel.
    QWidget* const tabOrder[] = {Button1, Button2, Button3, TrackBar1, Button4, Edit1, Edit2,        Edit3,
                                 Edit4,   Edit5,   Edit6,   Edit7,     Edit8,   Edit9, RadioButton1, RadioButton2};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

// The pictures and boxes start as the rules' field does.
void TForm1::showFieldState()
{
    pictures_ = {bleft, bup,   bdown, bright, left1,  left2,  left3,  left4,  up1,    up2,   up3,  up4,
                 down1, down2, down3, down4,  right1, right2, right3, right4, greati, goodi, badi, missi};
    boxes_ = {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9};
    for (int i = 0; i < zorv::kPictureCount; ++i)
        pictures_[i]->setVisible(game_.field[static_cast<Picture>(i)].visible);
    for (int i = 0; i < zorv::kBoxCount; ++i) {
        const std::string_view text = game_.field.text(static_cast<Box>(i));
        boxes_[i]->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
}

void TForm1::wireEvents()
{
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { guarded([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { guarded([this] { Button4Click(); }); });
    // A radio button acts when it becomes the checked one, not on every click.
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            guarded([this] { RadioButton1Click(); });
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            guarded([this] { RadioButton2Click(); });
    });
    connect(Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    // Key preview: the form sees every key before the focused control does.
    qApp->installEventFilter(this);
}

template <typename Handler>
void TForm1::guarded(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        shell_.showMessage(this, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        shell_.showMessage(this, QString());
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWindowType() &&
        watched == static_cast<QObject*>(windowHandle()))
        return previewKey(event);
    return QWidget::eventFilter(watched, event);
}

// A key event reaches our window once, before Qt hands it to the focused
// widget and on to its parents; taking it here handles it exactly once and
// never for another window such as a message box.
bool TForm1::previewKey(QEvent* event)
{
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    std::uint16_t key = virtualKeyOf(keyEvent->key());
    if (event->type() == QEvent::KeyPress) {
        guarded([&] { FormKeyDown(key, keyEvent->modifiers()); });
    } else if (!keyEvent->isAutoRepeat()) {
        // A held key gives repeated presses but only one release, at the end.
        guarded([&] { FormKeyUp(key, keyEvent->modifiers()); });
    }
    // Push buttons would pass the focus around on cursor keys; every other
    // control takes the key as usual.
    return key != 0 && qobject_cast<QPushButton*>(QApplication::focusWidget()) != nullptr;
}

void TForm1::deviceKey(zorv::Lane lane, bool pressed)
{
    std::uint16_t key = zorv::keyOfLane(lane);
    if (pressed)
        guarded([&] { FormKeyDown(key, Qt::NoModifier); });
    else
        guarded([&] { FormKeyUp(key, Qt::NoModifier); });
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!Panel1)
        return;
    using zorv::layout::kPanelBorder;
    Panel1->setGeometry(rect());
    bgd->setGeometry(kPanelBorder, kPanelBorder, std::max(0, width() - 2 * kPanelBorder),
                     std::max(0, height() - 2 * kPanelBorder));
}

void TForm1::pictureShown(Picture picture, bool visible)
{
    pictures_[static_cast<std::size_t>(picture)]->setVisible(visible);
}

void TForm1::pictureMoved(Picture picture, std::int32_t top)
{
    PictureBox* box = pictures_[static_cast<std::size_t>(picture)];
    box->move(box->x(), std::clamp(top, -kFarOffPixels, kFarOffPixels));
}

void TForm1::textSet(Box box, std::string_view text)
{
    // Always written, also when unchanged: it replaces whatever the player typed.
    boxes_[static_cast<std::size_t>(box)]->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TForm1::Button1Click() { Panel2->setVisible(true); }

void TForm1::Button3Click()
{
    const std::string audioFile = zorv::audioFileName(game_);
    zorv::rewindChart(game_);
    MediaPlayer1.setFileName(audioFile);
    MediaPlayer1.open();
    TrackBar1->setMaximum(MediaPlayer1.length());
    zorv::showLength(game_, MediaPlayer1.length());
    MediaPlayer1.play();
    if (!Timer1->isActive())  // a restart would shift the tick's phase
        Timer1->start();
    Button1->setEnabled(false);
    Button3->setEnabled(false);
    Button4->setEnabled(true);
}

void TForm1::Button4Click()
{
    // Intended: the stop button stays enabled and the timer keeps ticking.
    MediaPlayer1.stop();
    Button1->setEnabled(true);
    Button2->setEnabled(true);
    Button3->setEnabled(true);
}

void TForm1::Button2Click() { close(); }

void TForm1::Timer1Timer()
{
    TrackBar1->setValue(MediaPlayer1.position());
    zorv::tick(game_, TrackBar1->value(), [this](zorv::Lane lane) { spawnInto(lane); });
}

void TForm1::spawnInto(zorv::Lane lane)
{
    switch (lane) {
    case zorv::Lane::left: image_1(); break;
    case zorv::Lane::up: image_2(); break;
    case zorv::Lane::down: image_3(); break;
    case zorv::Lane::right: image_4(); break;
    }
}

void TForm1::FormKeyDown(std::uint16_t& key, Qt::KeyboardModifiers) { zorv::keyDown(game_, key); }

void TForm1::FormKeyUp(std::uint16_t& key, Qt::KeyboardModifiers) { zorv::keyUp(game_, key); }

void TForm1::image_1() { zorv::spawn(game_, zorv::Lane::left); }
void TForm1::image_2() { zorv::spawn(game_, zorv::Lane::up); }
void TForm1::image_3() { zorv::spawn(game_, zorv::Lane::down); }
void TForm1::image_4() { zorv::spawn(game_, zorv::Lane::right); }

void TForm1::RadioButton1Click() { songChosen(&TForm1::festival); }

void TForm1::RadioButton2Click() { songChosen(&TForm1::virizivez); }

void TForm1::songChosen(void (TForm1::*loadSong)())
{
    (this->*loadSong)();
    if (!ending_)
        Panel2->setVisible(false);
}

void TForm1::festival() { loadSongChart("Dodoroza.txt"); }

void TForm1::virizivez() { loadSongChart("Virizivez.txt"); }

void TForm1::loadSongChart(const char* fileName)
{
    if (zorv::loadChart(game_.chart, game_.nextNote, fileName))
        return;
    // Intended: the same words for either chart.
    shell_.showMessage(this, QStringLiteral("Can't open source.txt"));
    ending_ = true;
    MediaPlayer1.stop();
    shell_.exitProcess(0);
}
