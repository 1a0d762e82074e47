#include "app/PadKeys.h"

#include <QCoreApplication>
#include <QEvent>
#include <span>

#include "app/Form.h"

namespace zorv {

namespace {

const QEvent::Type kChangesWaiting = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

PadKeys::PadKeys(TForm1& form, std::chrono::microseconds activePoll)
    : form_(form), pads_([this] { wake(); }, activePoll)
{}

PadKeys::~PadKeys() = default;

// On the reading thread: posting is the one thing Qt allows from there.
void PadKeys::wake() { QCoreApplication::postEvent(this, new QEvent(kChangesWaiting)); }

void PadKeys::customEvent(QEvent* event)
{
    if (event->type() != kChangesWaiting)
        return;
    // One at a time from the queue: a handler whose error opens a message box
    // runs a loop of its own, which takes the next changes in their order.
    for (std::size_t i = 0; i < kBatch; ++i) {
        LaneChange change{};
        if (pads_.take(std::span(&change, 1)) == 0)
            return;
        form_.deviceKey(change.lane, change.pressed);
    }
    // Perhaps more are waiting: they come on the loop's next turn, after
    // whatever timers and paints are due.
    wake();
}

}  // namespace zorv
