#include "app/PadKeys.h"

#include <QCoreApplication>
#include <QEvent>
#include <array>

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
    std::array<LaneChange, kBatch> changes;
    const std::size_t n = pads_.take(changes);
    for (std::size_t i = 0; i < n; ++i)
        form_.deviceKey(changes[i].lane, changes[i].pressed);
    // Perhaps more are waiting: they come on the loop's next turn, after
    // whatever timers and paints are due.
    if (n == changes.size())
        wake();
}

}  // namespace zorv
