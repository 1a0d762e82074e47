#pragma once
// Dance mats and gamepads (input/Pads.h) played into the window: each lane a
// device presses or lets go reaches TForm1::deviceKey on the window's thread,
// in order, through Qt's event loop. At most kBatch changes are handed over
// per turn of the loop, so a device flooding events never holds up the tick
// or the repaint between two turns.

#include <QObject>
#include <chrono>
#include <cstddef>

#include "input/Pads.h"

class TForm1;

namespace zorv {

class PadKeys final : public QObject {
public:
    static constexpr std::size_t kBatch = 32;

    // Starts reading devices for `form`, which must outlive this.
    explicit PadKeys(TForm1& form, std::chrono::microseconds activePoll = Pads::kActivePoll);
    ~PadKeys() override;

    // The reading underneath (started? devices open?), for tests and measurements.
    Pads& pads() { return pads_; }

protected:
    void customEvent(QEvent* event) override;

private:
    void wake();

    TForm1& form_;
    Pads pads_;  // last: its thread stops before the rest goes
};

}  // namespace zorv
