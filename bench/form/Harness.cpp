#include "bench/form/Harness.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/PictureBox.h"
#include "bench/form/Stats.h"
#include "judge/Judge.h"

namespace zorv::formbench {
namespace {

int visibleCount(const zorv::Field& field, int first, int count)
{
    int n = 0;
    for (int i = first; i < first + count; ++i)
        n += field[static_cast<Picture>(i)].visible ? 1 : 0;
    return n;
}

constexpr int kJudgementFirst = static_cast<int>(Picture::greati);

}  // namespace

bool Harness::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Timer && watched == form_.Timer1) {
        tickStartNs_ = nowNs();
    } else if (event->type() == QEvent::Paint) {
        ++paints_;
        const std::int64_t now = nowNs();
        if (firstPaintNs_ == 0)
            firstPaintNs_ = now;
        if (breakdown && inTick_ && watched->isWidgetType()) {
            // Delivered from here so that its end can be timed too.
            watched->event(event);
            paintNs_[static_cast<int>(kindOf(watched))] += nowNs() - now;
            return true;
        }
    }
    return false;
}

void Harness::afterTick()
{
    const std::int64_t handled = nowNs();
    const int paintsBefore = paints_;
    firstPaintNs_ = 0;
    paintNs_ = {};
    inTick_ = true;
    QCoreApplication::sendPostedEvents(&form_, QEvent::UpdateRequest);
    inTick_ = false;
    const std::int64_t painted = nowNs();
    const zorv::Field& field = form_.game().field;
    ticks.push_back({tickStartNs_, handled, firstPaintNs_ ? firstPaintNs_ : painted, painted, paints_ - paintsBefore,
                     visibleCount(field, zorv::kFirstSlot, zorv::kSlotCount), visibleCount(field, kJudgementFirst, 4),
                     paintNs_});
    if (measuring)
        playAlong(field);
}

Paint Harness::kindOf(QObject* widget) const
{
    if (widget == form_.bgd)
        return Paint::background;
    for (QObject* target : {form_.bleft, form_.bup, form_.bdown, form_.bright})
        if (widget == target)
            return Paint::targets;
    for (QObject* judgement : {form_.greati, form_.goodi, form_.badi, form_.missi})
        if (widget == judgement)
            return Paint::judgements;
    if (dynamic_cast<zorv::PictureBox*>(widget))
        return Paint::arrows;
    if (widget == form_.TrackBar1)
        return Paint::positionBar;
    if (qobject_cast<QLineEdit*>(widget))
        return Paint::editBoxes;
    if (widget == &form_ || widget == form_.Panel1)
        return Paint::frames;
    return Paint::other;
}

void Harness::playAlong(const zorv::Field& field)
{
    const std::int64_t now = nowNs();
    for (int lane = 0; lane < zorv::kLaneCount; ++lane) {
        if (now - lastPressNs_[lane] < 150'000'000)
            continue;
        const int firstSlot = lane * zorv::kSlotsPerLane;
        for (int slot = firstSlot; slot < firstSlot + zorv::kSlotsPerLane; ++slot) {
            const auto& arrow = field[zorv::slotPicture(slot)];
            if (!arrow.visible || !wanted(field, arrow.top))
                continue;
            lastPressNs_[lane] = now;
            const Qt::Key key = qtKeyOf(zorv::laneOfSlot(slot));
            QTimer::singleShot(std::uniform_int_distribution<int>(2, 40)(random_), Qt::PreciseTimer, this, [this, key] {
                sendKey(QEvent::KeyPress, key);
                // Dense play holds every key so the judgements stay up.
                if (!dense_)
                    QTimer::singleShot(70, Qt::PreciseTimer, this, [this, key] { sendKey(QEvent::KeyRelease, key); });
            });
            break;
        }
    }
}

bool Harness::wanted(const zorv::Field& field, int top) const
{
    const zorv::JudgementWindow* window = zorv::windowAt(top);
    if (window == nullptr)
        return false;
    // Dense play first fills in the judgements not yet shown.
    return window->judgement == zorv::Judgement::great || (dense_ && !field[window->picture].visible);
}

void Harness::sendKey(QEvent::Type type, Qt::Key key)
{
    const std::int64_t start = nowNs();
    qt_handleKeyEvent(form_.windowHandle(), type, key, Qt::NoModifier);
    const std::int64_t handled = nowNs();
    const int paintsBefore = paints_;
    QCoreApplication::sendPostedEvents(&form_, QEvent::UpdateRequest);
    const std::int64_t painted = nowNs();
    keys.push_back({handled - start, painted - start, paints_ - paintsBefore, type == QEvent::KeyPress});
}

}  // namespace zorv::formbench
