#pragma once
// Watches the window from inside the process while it plays: times every
// tick from its timer event to the flushed repaint, times every key from
// delivery to judged, and plays along with the arrows.

#include <QEvent>
#include <QObject>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "app/Form.h"
#include "state/Field.h"

namespace zorv::formbench {

// What a paint event is spent on, for --breakdown.
enum class Paint : std::uint8_t { background, arrows, targets, judgements, positionBar, editBoxes, frames, other };
constexpr int kKinds = static_cast<int>(Paint::other) + 1;
constexpr const char* kKindNames[kKinds] = {"background",   "arrows",     "targets",        "judgements",
                                            "position bar", "edit boxes", "form and panel", "other"};

struct Tick {
    std::int64_t startNs, handledNs, firstPaintNs, paintedNs;
    int paints;
    int arrows;  // slots shown after the tick
    int judgements;
    std::array<std::int64_t, kKinds> paintNs;  // with --breakdown
};

struct Key {
    std::int64_t handledNs, paintedNs;  // from delivery
    int paints;
    bool press;
};

inline bool isLoaded(const Tick& t) { return t.arrows == kSlotCount && t.judgements == 4; }

class Harness : public QObject {
public:
    Harness(TForm1& form, bool dense) : form_(form), dense_(dense)
    {
        ticks.reserve(1 << 15);
        keys.reserve(1 << 14);
    }

    bool eventFilter(QObject* watched, QEvent* event) override;
    // Runs right after the form's own handler, connected to the same timeout.
    void afterTick();

    std::vector<Tick> ticks;
    std::vector<Key> keys;
    bool measuring = true;
    bool breakdown = false;

private:
    Paint kindOf(QObject* widget) const;
    // Presses a lane's key when one of its arrows is in a band worth judging,
    // a little after the tick, as a hand would.
    void playAlong(const Field& field);
    bool wanted(const Field& field, int top) const;
    void sendKey(QEvent::Type type, Qt::Key key);

    TForm1& form_;
    bool dense_;
    std::int64_t tickStartNs_ = 0;
    std::int64_t firstPaintNs_ = 0;
    bool inTick_ = false;
    std::array<std::int64_t, kKinds> paintNs_{};
    int paints_ = 0;
    std::int64_t lastPressNs_[4] = {};
    std::mt19937 random_{20240607};
};

}  // namespace zorv::formbench
