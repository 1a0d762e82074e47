// The window as it stands: every control where the layout puts it, the
// paint order, the tab order, what follows a resize and how each picture
// draws itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <algorithm>
#include <cstring>
#include <iterator>

#include "app/Form.h"
#include "app/Layout.h"
#include "app/PictureBox.h"
#include "play/Play.h"
#include "support/RecordingDisplay.h"
#include "support/FormTest.h"
#include "support/WindowTest.h"

namespace zorv {
namespace {

using test::ButtonStates;
using test::FormTest;
using test::states;

TEST_F(FormTest, StartsWithPlaceholdersTargetsShownAndNoArrows)
{
    EXPECT_EQ(form->Edit9->text(), "sum");
    for (QLineEdit* box : {form->Edit5, form->Edit6, form->Edit7, form->Edit8})
        EXPECT_EQ(box->text(), "Edit5");
    for (QLineEdit* box : {form->Edit1, form->Edit2, form->Edit3, form->Edit4})
        EXPECT_EQ(box->text(), "");
    for (QWidget* target : {form->bleft, form->bup, form->bdown, form->bright})
        EXPECT_TRUE(target->isVisible());
    for (QWidget* arrow : {form->left1, form->left4, form->up1, form->down2, form->right4, form->greati, form->missi})
        EXPECT_FALSE(arrow->isVisible());
    EXPECT_FALSE(form->Panel2->isVisible());
    EXPECT_FALSE(form->RadioButton1->isChecked());
    EXPECT_FALSE(form->RadioButton2->isChecked());
    EXPECT_EQ(states(*form), (ButtonStates{true, true, true, false, false}));
    EXPECT_EQ(QApplication::focusWidget(), form->Button1);
    EXPECT_EQ(form->windowTitle(), "Zorv");
}

// Every widget of the window comes from the layout table and stands where
// its row says, on its row's parent; a label sized to its caption shows all
// of it.
TEST_F(FormTest, ControlsStandWhereTheLayoutPutsThem)
{
    EXPECT_EQ(form->findChildren<QWidget*>().size(), std::size(layout::kControls));
    for (const layout::Control& row : layout::kControls) {
        SCOPED_TRACE(row.name);
        auto* control = form->findChild<QWidget*>(row.name);
        ASSERT_NE(control, nullptr);
        QWidget* parent = row.parent ? form->findChild<QWidget*>(row.parent) : form.get();
        EXPECT_EQ(control->parentWidget(), parent);
        EXPECT_EQ(control->pos(), QPoint(row.left, row.top));
        if (row.width == 0 && row.height == 0) {
            auto* label = qobject_cast<QLabel*>(control);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->size(), label->sizeHint());
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        } else {
            EXPECT_EQ(control->size(), QSize(row.width, row.height));
        }
    }
    EXPECT_EQ(form->size(), QSize(layout::kWindow.width, layout::kWindow.height));
    // The pictures start as the rules' field has them, each arrow in its
    // target's column: the key handler judges the field's Tops.
    for (int i = 0; i < kPictureCount; ++i) {
        const auto picture = static_cast<Picture>(i);
        SCOPED_TRACE(test::pictureName(picture));
        auto* shown = form->findChild<QWidget*>(test::pictureName(picture));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->isVisible(), form->game().field[picture].visible);
        if (i < kFirstSlot || i >= kFirstSlot + kSlotCount)
            continue;
        EXPECT_EQ(shown->y(), form->game().field[picture].top);
        EXPECT_EQ(shown->x(), form->findChild<QWidget*>(test::pictureName(targetOf(laneOfSlot(i - kFirstSlot))))->x());
    }
    EXPECT_EQ(form->RadioButton2->font().pixelSize(), 20);
    EXPECT_EQ(form->Label6->font().pixelSize(), 20);
    EXPECT_EQ(form->Edit5->font().pixelSize(), 11);
    EXPECT_EQ(form->Button1->text(), "&list");
    EXPECT_EQ(form->Button4->text(), "s&top");
    EXPECT_EQ(form->Label6->text(), QString::fromUtf8("난이도 하"));
}

TEST_F(FormTest, PaintOrderPutsJudgementsOverArrowsOverTargets)
{
    const QObjectList& stack = form->Panel1->children();  // bottom to top
    auto level = [&](QWidget* w) { return stack.indexOf(w); };
    EXPECT_LT(level(form->bgd), level(form->bleft));
    EXPECT_LT(level(form->bright), level(form->left1));
    EXPECT_LT(level(form->right4), level(form->Label1));
    EXPECT_LT(level(form->Label5), level(form->greati));
    EXPECT_LT(level(form->greati), level(form->missi));
    EXPECT_LT(level(form->missi), level(form->Button1));
    const QObjectList& top = form->children();
    EXPECT_LT(top.indexOf(form->Panel1), top.indexOf(form->Panel2));
}

// Tab runs through the buttons and the bar, the boxes, then the song panel,
// and from its last button back to the first.
TEST_F(FormTest, TabOrderRunsThroughButtonsBarBoxesAndTheSongPanel)
{
    const struct {
        QWidget* from;
        QWidget* next;
    } cases[] = {
        {form->Button1, form->Button2},
        {form->Button2, form->Button3},
        {form->Button3, form->TrackBar1},
        {form->TrackBar1, form->Button4},
        {form->Button4, form->Edit1},
        {form->Edit1, form->Edit2},
        {form->Edit2, form->Edit3},
        {form->Edit3, form->Edit4},
        {form->Edit4, form->Edit5},
        {form->Edit5, form->Edit6},
        {form->Edit6, form->Edit7},
        {form->Edit7, form->Edit8},
        {form->Edit8, form->Edit9},
        {form->Edit9, form->RadioButton1},
        {form->RadioButton1, form->RadioButton2},
        {form->RadioButton2, form->Button1},
    };
    for (const auto& c : cases) {
        QWidget* next = c.from->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, c.next) << c.from->objectName().toStdString();
    }
}

TEST_F(FormTest, OnlyThePanelAndBackgroundFollowAResize)
{
    form->resize(900, 800);
    QApplication::processEvents();
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 0, 900, 800));
    EXPECT_EQ(form->bgd->geometry(), QRect(1, 1, 898, 798));
    EXPECT_EQ(form->Button1->geometry(), QRect(432, 576, 75, 25));
    EXPECT_EQ(form->Panel2->geometry(), QRect(96, 224, 185, 257));
}

// How each picture draws itself over a probe colour. A transparent one
// leaves its bitmap's key colour (the bottom-left corner's) unpainted, an
// opaque one paints it; in a rectangle twice its bitmap's size, a stretched
// one paints beyond the bitmap's own size, an unstretched one only within it.
TEST_F(FormTest, EachPictureIsDrawnStretchedAndTransparentAsItsKindWants)
{
    struct Look {
        std::vector<const char*> pictures;
        bool transparent, stretched;
    };
    const Look looks[] = {
        {{"bgd"}, false, true},
        {{"bleft", "bup", "bdown", "bright"}, true, false},
        {{"left1", "left2", "left3", "left4", "up1", "up2", "up3", "up4", "down1", "down2", "down3", "down4", "right1",
          "right2", "right3", "right4"},
         true,
         false},
        {{"greati", "goodi", "badi", "missi"}, true, true},
    };
    const QRgb probe = qRgb(0x12, 0x34, 0x56);
    auto draw = [&](QWidget* picture) {
        QImage canvas(picture->size(), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(probe);
        picture->render(&canvas, QPoint(), QRegion(), {});
        return canvas;
    };
    std::ptrdiff_t looked = 0;
    for (const Look& look : looks) {
        for (const char* name : look.pictures) {
            SCOPED_TRACE(name);
            ++looked;
            auto* picture = form->findChild<QWidget*>(name);
            ASSERT_NE(picture, nullptr);
            const QImage natural = draw(picture);
            EXPECT_EQ(natural.pixel(0, natural.height() - 1) == probe, look.transparent);

            const auto row = std::find_if(std::begin(layout::kControls), std::end(layout::kControls),
                                          [&](const layout::Control& r) { return std::strcmp(r.name, name) == 0; });
            ASSERT_NE(row, std::end(layout::kControls));
            const QSize bitmap = QImage(QStringLiteral(":/assets/%1.bmp").arg(QLatin1String(row->text))).size();
            ASSERT_FALSE(bitmap.isEmpty());
            const QRect placed = picture->geometry();
            picture->resize(bitmap * 2);
            const QImage doubled = draw(picture);
            picture->setGeometry(placed);
            bool paintedBeyond = false;
            for (int y = 0; y < doubled.height(); ++y)
                for (int x = 0; x < doubled.width(); ++x)
                    paintedBeyond = paintedBeyond ||
                                    ((x >= bitmap.width() || y >= bitmap.height()) && doubled.pixel(x, y) != probe);
            EXPECT_EQ(paintedBeyond, look.stretched);
        }
    }
    EXPECT_EQ(looked, std::count_if(std::begin(layout::kControls), std::end(layout::kControls),
                                    [](const layout::Control& r) { return r.kind == layout::Kind::picture; }));
}

TEST(PictureBox, BottomLeftColourBecomesTransparent)
{
    QImage bitmap(3, 2, QImage::Format_RGB888);
    bitmap.fill(QColor(255, 0, 255));
    bitmap.setPixelColor(1, 0, QColor(10, 20, 30));
    bitmap.setPixelColor(2, 1, QColor(254, 0, 255));
    const QImage keyed = withoutKeyColour(bitmap);
    EXPECT_EQ(qAlpha(keyed.pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
    EXPECT_EQ(keyed.pixel(1, 0), qRgb(10, 20, 30));
    EXPECT_EQ(keyed.pixel(2, 1), qRgb(254, 0, 255));  // near the key is not the key
}

TEST(PictureBox, ColumnsJoinStackedRectanglesAndCoverTheRegion)
{
    struct Case {
        const char* name;
        QRegion region;
        int expectedColumns;
    };
    // Two arrows side by side at different heights: the region bands cut
    // each arrow's rectangle into pieces stacked on top of one another.
    QRegion sideBySide = QRegion(16, 100, 60, 70) + QRegion(96, 130, 60, 70);
    const Case cases[] = {
        {"one rectangle", QRegion(0, 0, 60, 70), 1},
        {"side by side, overlapping heights", sideBySide, 2},
        {"far apart", QRegion(0, 0, 10, 10) + QRegion(0, 50, 10, 10), 2},
        {"same column, touching", QRegion(5, 0, 10, 10) + QRegion(5, 10, 10, 10), 1},
        {"empty", QRegion(), 0},
    };
    for (const Case& c : cases) {
        const auto rects = columns(c.region);
        QRegion covered;
        for (const QRect& r : rects)
            covered += r;
        EXPECT_EQ(covered, c.region) << c.name;
        EXPECT_EQ(rects.size(), c.expectedColumns) << c.name;
    }
}

}  // namespace
}  // namespace zorv
