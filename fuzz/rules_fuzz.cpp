// Drives the rules with a sequence of operations decoded from the input and
// checks, after each, what the rules promise: the cursor stays on a record,
// hidden arrows stay put, shown arrows rise 10 px per moving tick from where
// they were shown, retirement happens on time, and the score and counts are
// exactly what the judgements written to the display add up to. The harness
// keeps its own account of spawn times and moving ticks and of which bands
// hold an arrow before each press, instead of trusting the game's.
//
// Input format, read front to back (make-corpus.sh writes seeds in it):
//   0 lo hi bytes...  load a chart of (lo | hi << 8) % 4097 bytes
//   1 d               tick at t + d
//   2 b0 b1 b2 b3     tick at the little-endian int32 (any value)
//   3 n               n + 1 ticks, 50 ms apart, from t + 50
//   4 k [c0 c1]       key down: k < 0xf0 is the cursor key 37 + k % 4,
//   5 k [c0 c1]       key up    otherwise the 16-bit code that follows
//   6                 rewind the cursor to note 1 (start button)
//   7 b0 b1 b2 b3     show a length (start button)
// any other value is taken modulo 8.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chart/Chart.h"
#include "core/Saturating.h"
#include "judge/Judge.h"
#include "play/Play.h"

namespace {

using namespace zorv;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr int kMaxTicksPerInput = 20'000;

[[noreturn]] void fail(const char* what, int detail = -1)
{
    std::fprintf(stderr, "rules_fuzz: %s (%d)\n", what, detail);
    std::abort();
}

void expect(bool condition, const char* what, int detail = -1)
{
    if (!condition)
        fail(what, detail);
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    std::int32_t i32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t{byte()} << (8 * i);
        return static_cast<std::int32_t>(v);
    }
    std::string_view bytes(std::size_t n)
    {
        n = std::min(n, size_ - pos_);
        std::string_view view(reinterpret_cast<const char*>(data_) + pos_, n);
        pos_ += n;
        return view;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Mirrors every change the rules report and remembers, per operation, the
// judgements: a write of Edit9 followed by a write of a count box.
class Observer : public Display {
public:
    std::array<PictureState, kPictureCount> pictures{};
    std::array<std::string, kBoxCount> boxes;
    std::vector<Box> writes;  // boxes written during the current operation

    explicit Observer(const Field& field)
    {
        for (int i = 0; i < kPictureCount; ++i)
            pictures[i] = field[static_cast<Picture>(i)];
        for (int i = 0; i < kBoxCount; ++i)
            boxes[i] = std::string(field.text(static_cast<Box>(i)));
    }
    void pictureShown(Picture picture, bool visible) override { pictures[static_cast<int>(picture)].visible = visible; }
    void pictureMoved(Picture picture, std::int32_t top) override { pictures[static_cast<int>(picture)].top = top; }
    void textSet(Box box, std::string_view text) override
    {
        boxes[static_cast<int>(box)] = std::string(text);
        writes.push_back(box);
    }
};

struct Band {
    std::int32_t from, to, scoreChange;
    Box countBox;
};
// In the order a press tests them.
constexpr Band kBands[] = {
    {81, 110, -100, Box::Edit5}, {0, 20, +100, Box::Edit8}, {21, 50, +50, Box::Edit7}, {51, 80, -50, Box::Edit6}};

struct Harness {
    Game game;
    Observer observer{game.field};
    std::int32_t t = 0;
    int ticks = 0;

    // The harness's own account of each slot while it is shown.
    std::array<std::int32_t, kSlotCount> spawnTop{};
    std::array<std::int64_t, kSlotCount> movingTicks{};
    std::array<std::int32_t, kSlotCount> expireAt{};

    // Judgements seen on the display, by count box Edit5..Edit8.
    std::int32_t score = 500;
    std::array<std::int32_t, 4> counts{};

    Harness() { game.field.setDisplay(&observer); }

    bool shown(int slot) const { return game.field[slotPicture(slot)].visible; }
    std::int32_t top(int slot) const { return game.field[slotPicture(slot)].top; }

    void load(std::string_view text)
    {
        game.nextNote = 1;  // as loadChart does before it opens the file
        readChart(game.chart, text);
    }

    void doTick(std::int32_t at)
    {
        t = at;
        ++ticks;
        const std::int32_t cursor = game.nextNote;
        std::array<PictureState, kSlotCount> before{};
        for (int slot = 0; slot < kSlotCount; ++slot)
            before[slot] = game.field[slotPicture(slot)];

        // What the tick must dispatch, worked out before it runs.
        int spawned = -1;
        std::int32_t expectedCursor = cursor;
        if (cursor >= 1 && cursor < kChartRecords && chartNumber(game.chart[cursor].col2) <= t) {
            const std::int32_t lane = chartNumber(game.chart[cursor].col1);
            if (lane >= 1 && lane <= 4) {
                expectedCursor = cursor + 1;
                for (int slot = (lane - 1) * 4; slot < lane * 4; ++slot) {
                    if (!before[slot].visible) {
                        spawned = slot;
                        spawnTop[slot] = before[slot].top;
                        movingTicks[slot] = 0;
                        expireAt[slot] = saturatingAdd(chartNumber(game.chart[cursor].col2), kArrowLifetime);
                        break;
                    }
                }
            }
        }

        tick(game, t);

        expect(game.nextNote == expectedCursor, "cursor moved other than by the dispatch", game.nextNote);
        const bool holding = expectedCursor >= 1 && expectedCursor <= kChartRecords &&
                             chartNumber(game.chart[expectedCursor - 1].col2) > t;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (!before[slot].visible && slot != spawned) {
                expect(!shown(slot), "hidden arrow shown without a dispatch", slot);
                expect(top(slot) == before[slot].top, "hidden arrow moved", slot);
                continue;
            }
            expect(game.expireAt[slot] == expireAt[slot], "retirement time not the note's time + 4000", slot);
            if (!holding) {
                ++movingTicks[slot];
                if (t >= expireAt[slot]) {
                    expect(!shown(slot) && top(slot) == kSpawnTop, "due arrow not retired to 587", slot);
                    continue;
                }
            }
            const std::int64_t risen = std::int64_t{spawnTop[slot]} - kStepPerTick * movingTicks[slot];
            expect(shown(slot), "arrow retired before its time", slot);
            expect(top(slot) == std::max<std::int64_t>(risen, kMin), "arrow not where its moving ticks put it", slot);
        }
        expect(observer.boxes[0] == std::to_string(t / 1000 / 60), "Edit1 is not the minutes");
        expect(observer.boxes[1] == std::to_string(t / 1000 % 60), "Edit2 is not the seconds");
    }

    void doKeyDown(std::uint16_t key)
    {
        const int lane = key == kKeyLeft ? 0 : key == kKeyUp ? 1 : key == kKeyDown ? 2 : key == kKeyRight ? 3 : -1;
        std::vector<const Band*> expected;
        if (lane >= 0) {
            for (const Band& band : kBands) {
                for (int slot = lane * 4; slot < lane * 4 + 4; ++slot) {
                    if (top(slot) >= band.from && top(slot) <= band.to) {
                        expected.push_back(&band);
                        break;
                    }
                }
            }
        }
        const auto slotsBefore = slotStates();
        const std::int32_t cursor = game.nextNote;

        keyDown(game, key);

        expect(slotStates() == slotsBefore, "a key press moved or showed an arrow");
        expect(game.nextNote == cursor, "a key press moved the cursor");
        // Each judgement writes Edit9, then its count box.
        const std::vector<Box>& writes = observer.writes;
        expect(writes.size() == 2 * expected.size(), "judgements other than the bands hold", int(writes.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            expect(writes[2 * i] == Box::Edit9, "judgement did not write the score first");
            expect(writes[2 * i + 1] == expected[i]->countBox, "judgement of the wrong band");
            score = saturatingAdd(score, expected[i]->scoreChange);
            int& count = counts[static_cast<int>(expected[i]->countBox) - static_cast<int>(Box::Edit5)];
            count = saturatingAdd(count, 1);
        }
        if (lane >= 0)
            expect(!game.field[static_cast<Picture>(lane)].visible, "target arrow still shown while pressed");
    }

    void doKeyUp(std::uint16_t key)
    {
        const auto slotsBefore = slotStates();
        const std::int32_t cursor = game.nextNote;
        const ScoreBoard board = game.board;
        keyUp(game, key);
        expect(slotStates() == slotsBefore, "a key release moved or showed an arrow");
        expect(game.nextNote == cursor, "a key release moved the cursor");
        expect(game.board.score == board.score, "a key release changed the score");
        if (key >= kKeyLeft && key <= kKeyDown) {
            for (Picture p : {Picture::greati, Picture::goodi, Picture::badi, Picture::missi})
                expect(!game.field[p].visible, "judgement picture still shown after a release");
        }
    }

    void doShowLength(std::int32_t lengthMs)
    {
        showLength(game, lengthMs);
        const std::int32_t shownMs = std::max(lengthMs, 0);
        expect(observer.boxes[2] == std::to_string(shownMs / 60000), "Edit3 is not the length's minutes");
        expect(observer.boxes[3] == std::to_string(shownMs / 1000 % 60), "Edit4 is not the length's seconds");
    }

    std::array<std::pair<bool, std::int32_t>, kSlotCount> slotStates() const
    {
        std::array<std::pair<bool, std::int32_t>, kSlotCount> states{};
        for (int slot = 0; slot < kSlotCount; ++slot)
            states[slot] = {shown(slot), top(slot)};
        return states;
    }

    // After every operation.
    void checkInvariants() const
    {
        expect(game.nextNote >= 1 && game.nextNote <= kChartRecords, "cursor outside 1..300", game.nextNote);
        const ScoreBoard& board = game.board;
        expect(board.score == score, "score is not 500 plus the judgements' changes", board.score);
        expect(board.missCount == counts[0] && board.badCount == counts[1] && board.goodCount == counts[2] &&
                   board.greatCount == counts[3],
               "counts are not the number of judgements");
        for (int i = 0; i < kPictureCount; ++i) {
            const PictureState& state = game.field[static_cast<Picture>(i)];
            expect(state.visible == observer.pictures[i].visible && state.top == observer.pictures[i].top,
                   "display missed a picture change", i);
        }
        for (int i = 0; i < kBoxCount; ++i)
            expect(game.field.text(static_cast<Box>(i)) == observer.boxes[i], "display missed a text change", i);
    }
};

std::uint16_t keyCode(Input& in)
{
    const std::uint8_t k = in.byte();
    return k < 0xf0 ? static_cast<std::uint16_t>(kKeyLeft + k % 4) : in.u16();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in(data, size);
    Harness h;
    while (!in.empty() && h.ticks < kMaxTicksPerInput) {
        h.observer.writes.clear();
        switch (in.byte() % 8) {
        case 0: {
            const std::size_t length = in.u16() % 4097;
            h.load(in.bytes(length));
            break;
        }
        case 1: h.doTick(saturatingAdd(h.t, in.byte())); break;
        case 2: h.doTick(in.i32()); break;
        case 3:
            for (int n = in.byte() + 1; n > 0; --n)
                h.doTick(saturatingAdd(h.t, 50));
            break;
        case 4: h.doKeyDown(keyCode(in)); break;
        case 5: h.doKeyUp(keyCode(in)); break;
        case 6: rewindChart(h.game); break;
        case 7: h.doShowLength(in.i32()); break;
        }
        h.checkInvariants();
    }
    return 0;
}
