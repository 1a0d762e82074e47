#include "tools/chartcheck/Analysis.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <utility>

#include "charting/Charting.h"
#include "core/Lanes.h"
#include "judge/Judge.h"
#include "play/Play.h"

namespace zorv::chartcheck {
namespace {

// A slot is pressed on the tick it first stands in the great window: Top 17,
// or 14 for a lane-1 slot still at its never-used 584. Both sit early in the
// window, so a press there is as good as a player can do and shows what a
// following arrow adds.
constexpr std::int32_t kPressRise = charting::kFirstGreatTick * kStepPerTick;

bool isDigits(const char* text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

std::int32_t laneOf(const ChartTable& chart, int record) { return chartNumber(chart[record].col1); }
std::int32_t timeOf(const ChartTable& chart, int record) { return chartNumber(chart[record].col2); }

std::string quoted(const char* text) { return '"' + std::string(text) + '"'; }
std::string ms(std::int64_t value) { return std::to_string(value) + " ms"; }

// The first grid tick at or after `time`, where the position stops at `last`.
std::int32_t dueTick(std::int32_t time, std::int32_t last)
{
    const std::int64_t from = std::max<std::int64_t>(time, 0);
    const std::int64_t tick = (from + kTickMs - 1) / kTickMs * kTickMs;
    return static_cast<std::int32_t>(std::min<std::int64_t>(tick, last));
}

// Hears which slots the rules show and hide during one step.
class SlotWatch final : public Display {
public:
    std::vector<int> shown;
    std::vector<int> hidden;

    void clear()
    {
        shown.clear();
        hidden.clear();
    }
    void pictureShown(Picture picture, bool visible) override
    {
        const int slot = static_cast<int>(picture) - kFirstSlot;
        if (slot >= 0 && slot < kSlotCount)
            (visible ? shown : hidden).push_back(slot);
    }
    void pictureMoved(Picture, std::int32_t) override {}
    void textSet(Box, std::string_view) override {}
};

struct NoteRun {
    std::optional<std::int32_t> dispatchedAt;
    int slot = -1;                 // -1 when dropped
    std::vector<int> laneHolders;  // records in flight in its lane when dropped
    std::optional<std::int32_t> retiredAt;
    bool pressed = false;
};

struct Clash {
    int first;   // in the great window
    int second;  // in another window at the same time
    std::int32_t t;
    std::int32_t firstTop;
    std::int32_t secondTop;
    const char* secondBand;
};

struct Run {
    std::array<NoteRun, kChartRecords> notes{};
    std::vector<Clash> clashes;
    PerfectPlay perfect;
};

// Plays the chart in a fresh game on a 50 ms grid from 0, the position
// stopping at `lastPosition` like the game's does at the audio's end, and
// presses every arrow once on its 57th move.
class Simulation {
public:
    Simulation(const ChartTable& chart, int lastNote, std::int32_t lastPosition)
        : chart_(chart), lastNote_(lastNote), lastPosition_(lastPosition), game_(std::make_unique<Game>())
    {
        game_->chart = chart;
        game_->field.setDisplay(&watch_);
    }

    Run run();

private:
    std::int32_t topOf(int slot) const { return game_->field[slotPicture(slot)].top; }
    bool shown(int slot) const { return game_->field[slotPicture(slot)].visible; }
    std::int32_t position(std::int64_t k) const
    {
        return static_cast<std::int32_t>(std::min<std::int64_t>(k * kTickMs, lastPosition_));
    }
    bool anyShown() const;
    bool anyBeforeTargets() const;  // could still be pressed or crowd another
    void step(std::int32_t t);
    void noteDispatched(int record, std::int32_t t, const std::array<std::int32_t, kSlotCount>& topBefore);
    void noteRetirements(std::int32_t t);
    void findClashes(std::int32_t t);
    void pressArrivals();

    const ChartTable& chart_;
    const int lastNote_;
    const std::int32_t lastPosition_;
    std::unique_ptr<Game> game_;  // the chart table is 60 kB
    SlotWatch watch_;
    Run run_;
    std::array<int, kSlotCount> holder_{};  // record whose arrow is in the slot, 0 none
    std::array<std::int32_t, kSlotCount> pressTop_{};
    std::set<std::pair<int, int>> clashSeen_;
};

Run Simulation::run()
{
    for (std::int64_t k = 0;; ++k) {
        std::int32_t t = position(k);
        const bool cursorDone = game_->nextNote > lastNote_;
        const std::int32_t nextTime = cursorDone ? 0 : timeOf(chart_, game_->nextNote);
        const bool noMoreNotes = cursorDone || nextTime > lastPosition_;
        if (noMoreNotes && !anyBeforeTargets())
            break;
        // With nothing on screen, ticks before the next note's time change
        // nothing the rules keep, so jump over them. Never while an arrow is
        // shown: its retirement decides whether a later note finds room.
        if (!anyShown() && nextTime > t) {
            k = (static_cast<std::int64_t>(nextTime) + kTickMs - 1) / kTickMs;
            t = position(k);
        }
        step(t);
    }

    run_.perfect.score = game_->board.score;
    run_.perfect.great = game_->board.greatCount;
    run_.perfect.good = game_->board.goodCount;
    run_.perfect.bad = game_->board.badCount;
    run_.perfect.miss = game_->board.missCount;
    return std::move(run_);
}

bool Simulation::anyShown() const
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (shown(slot))
            return true;
    }
    return false;
}

bool Simulation::anyBeforeTargets() const
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (shown(slot) && topOf(slot) >= 0)
            return true;
    }
    return false;
}

// One tick of the game at `t`, and what it did to the notes.
void Simulation::step(std::int32_t t)
{
    std::array<std::int32_t, kSlotCount> topBefore{};
    for (int slot = 0; slot < kSlotCount; ++slot)
        topBefore[slot] = topOf(slot);
    const int record = game_->nextNote;
    watch_.clear();
    tick(*game_, t);

    if (game_->nextNote != record)
        noteDispatched(record, t, topBefore);
    noteRetirements(t);
    findClashes(t);
    pressArrivals();
}

void Simulation::noteDispatched(int record, std::int32_t t, const std::array<std::int32_t, kSlotCount>& topBefore)
{
    NoteRun& note = run_.notes[record];
    note.dispatchedAt = t;
    if (!watch_.shown.empty()) {
        note.slot = watch_.shown.front();
        holder_[note.slot] = record;
        pressTop_[note.slot] = topBefore[note.slot] - kPressRise;
        return;
    }
    const int first = firstSlotOf(static_cast<Lane>(laneOf(chart_, record)));
    for (int slot = first; slot < first + kSlotsPerLane; ++slot) {
        if (holder_[slot] != 0)
            note.laneHolders.push_back(holder_[slot]);
    }
}

void Simulation::noteRetirements(std::int32_t t)
{
    for (int slot : watch_.hidden) {
        if (holder_[slot] != 0) {
            run_.notes[holder_[slot]].retiredAt = t;
            holder_[slot] = 0;
        }
    }
}

// Two arrows of a lane clash when one is in the great window while the
// other is in a different window: a press meant for the first scores the
// second as well. Two arrows in the same window do not, as a press judges
// each window once. Since every shown arrow rises 10 px a tick, this comes
// down to notes of a lane spawning 10 ticks or less apart.
void Simulation::findClashes(std::int32_t t)
{
    for (int a = 0; a < kSlotCount; ++a) {
        const JudgementWindow* bandA = windowAt(topOf(a));
        if (holder_[a] == 0 || bandA == nullptr || bandA->judgement != Judgement::great)
            continue;
        const int first = firstSlotOf(laneOfSlot(a));
        for (int b = first; b < first + kSlotsPerLane; ++b) {
            const JudgementWindow* bandB = windowAt(topOf(b));
            if (b == a || holder_[b] == 0 || bandB == nullptr || bandB == bandA)
                continue;
            if (clashSeen_.insert({holder_[a], holder_[b]}).second)
                run_.clashes.push_back({holder_[a], holder_[b], t, topOf(a), topOf(b), bandB->name});
        }
    }
}

// Presses each arrow once, when it reaches the Top it is pressed at.
void Simulation::pressArrivals()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int pressed = holder_[slot];
        if (pressed == 0 || run_.notes[pressed].pressed || topOf(slot) != pressTop_[slot])
            continue;
        const ScoreBoard before = game_->board;
        keyDown(*game_, keyOfLane(laneOfSlot(slot)));
        keyUp(*game_, keyOfLane(laneOfSlot(slot)));
        run_.notes[pressed].pressed = true;
        const ScoreBoard& after = game_->board;
        const int judged = (after.greatCount != before.greatCount) + (after.goodCount != before.goodCount) +
                           (after.badCount != before.badCount) + (after.missCount != before.missCount);
        ++run_.perfect.presses;
        if (judged > 1)
            ++run_.perfect.pressesJudgingMore;
    }
}

Run simulate(const ChartTable& chart, int lastNote, std::int32_t lastPosition)
{
    return Simulation(chart, lastNote, lastPosition).run();
}

std::string recordList(const std::vector<int>& records)
{
    std::string text;
    for (int record : records)
        text += (text.empty() ? "" : ", ") + std::to_string(record);
    return text;
}

class Checker {
public:
    Checker(const ChartTable& chart, const ChartTokens& tokens, ChartReport& report)
        : chart_(chart), tokens_(tokens), report_(report)
    {}

    bool inFile(int record, int column) const
    {
        return static_cast<std::size_t>(2 * record + column) < tokens_.read.size();
    }

    int lineOf(int record) const { return inFile(record, 0) ? tokens_.read[2 * record].line : 0; }

    // "record 5 (line 6, lane 2, 1500 ms)", "header (line 1)".
    std::string where(int record) const
    {
        const int line = lineOf(record);
        if (record == 0)
            return line ? "header (line " + std::to_string(line) + ")" : "header";
        std::string text = "record " + std::to_string(record) + " (";
        if (line)
            text += "line " + std::to_string(line) + ", ";
        return text + "lane " + std::to_string(laneOf(chart_, record)) + ", " + ms(timeOf(chart_, record)) + ")";
    }

    void add(Severity severity, Kind kind, int record, std::string text)
    {
        report_.findings.push_back({severity, kind, record, std::move(text)});
    }
    void problem(Kind kind, int record, std::string text) { add(Severity::problem, kind, record, std::move(text)); }
    void warning(Kind kind, int record, std::string text) { add(Severity::warning, kind, record, std::move(text)); }

    const ChartTable& chart_;
    const ChartTokens& tokens_;
    ChartReport& report_;
};

void checkTokens(Checker& c)
{
    ChartReport& report = c.report_;
    if (report.pairsIgnored > 0) {
        c.problem(Kind::pairsIgnored, -1,
                  "the file has " + std::to_string(report.pairsRead + report.pairsIgnored) +
                      " token pairs but the game reads only the first " + std::to_string(kChartRecords) + " (" +
                      std::to_string(kChartTokens) + " tokens); the " + std::to_string(report.pairsIgnored) +
                      " from line " + std::to_string(c.tokens_.ignoredFromLine) + " on are ignored");
    }
    for (std::size_t i = 0; i < c.tokens_.read.size(); ++i) {
        const TokenInfo& token = c.tokens_.read[i];
        if (token.length < ChartLine::kFieldSize)
            continue;
        const int record = static_cast<int>(i / 2);
        const std::string what =
            record == 0 ? (i % 2 ? "the audio file name" : "the header's first token")
                        : (i % 2 ? "the time token" : "the lane token") + (" of record " + std::to_string(record));
        c.problem(Kind::overlongToken, record,
                  "line " + std::to_string(token.line) + ": " + what + " is " + std::to_string(token.length) +
                      " characters long; the game keeps only the first " + std::to_string(ChartLine::kFieldChars));
    }
}

void checkHeader(Checker& c)
{
    const char* name = c.chart_[0].col2;
    if (*name == '\0') {
        c.problem(Kind::audioMissing, 0,
                  c.where(0) + ": the first pair names no audio file; the game cannot start this chart");
        return;
    }
    const char* p = name;
    while (isChartSpace(*p))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (!std::isdigit(static_cast<unsigned char>(*p)))
        return;
    const std::int32_t value = chartNumber(name);
    if (value > 0) {
        c.problem(Kind::audioNameHolds, 0,
                  c.where(0) + ": the audio name " + quoted(name) + " reads as the number " + std::to_string(value) +
                      "; until note 1 spawns, arrows still on screen from an earlier song or a restart stand still"
                      " while the music is before " +
                      ms(value) + ". Give it a name that starts with a letter");
    } else {
        c.warning(Kind::audioNameNumber, 0,
                  c.where(0) + ": the audio name " + quoted(name) + " starts with a number (" + std::to_string(value) +
                      "); it never holds the arrows, but a name starting with a letter is safer");
    }
}

void checkAudio(Checker& c)
{
    const AudioInfo& audio = c.report_.audio;
    switch (audio.status) {
    case AudioInfo::Status::missing:
        c.problem(Kind::audioMissing, 0,
                  c.where(0) + ": audio file " + quoted(audio.name.c_str()) + " not found (looked for " + audio.path +
                      "); the game cannot start this chart");
        break;
    case AudioInfo::Status::unplayable:
        c.problem(Kind::audioUnplayable, 0,
                  c.where(0) + ": the game's player refuses audio file " + quoted(audio.name.c_str()) + " (" +
                      audio.reason + "); the game cannot start this chart");
        break;
    case AudioInfo::Status::lengthUnknown:
        c.warning(Kind::audioLengthUnknown, 0,
                  c.where(0) + ": no audio device to open " + quoted(audio.name.c_str()) + " with (" + audio.reason +
                      "), so no note was checked against the audio's end");
        break;
    case AudioInfo::Status::notChecked:
    case AudioInfo::Status::known: break;
    }
}

void checkEnd(Checker& c)
{
    const ChartEnd& end = c.report_.end;
    if (end.reason == ChartEnd::Reason::endOfFile) {
        c.problem(Kind::missingEndPair, end.record,
                  "record " + std::to_string(end.record) +
                      ": the chart ends only because the file does. The game keeps a longer chart loaded before in"
                      " the records this file does not reach and would play them on as notes; end with a pair such"
                      " as \"0 0\"");
    }
    if (end.reason != ChartEnd::Reason::laneToken)
        return;
    std::vector<int> after;
    for (int record = end.record + 1; record < c.report_.pairsRead; ++record) {
        if (isLane(laneOf(c.chart_, record)))
            after.push_back(record);
    }
    if (!after.empty()) {
        c.problem(Kind::notesAfterEnd, end.record,
                  "record " + std::to_string(end.record) + " (line " + std::to_string(c.lineOf(end.record)) +
                      ") ends the chart with lane token " + quoted(end.token.c_str()) + ", but " +
                      std::to_string(after.size()) + " notes follow it (records " + std::to_string(after.front()) +
                      (after.size() > 1 ? "-" + std::to_string(after.back()) : std::string()) + "); they never play");
    }
}

// How a note's tokens read: a lane that is not just the digit, a time that
// is missing or not a plain number.
void checkNoteTokens(Checker& c, int record)
{
    const ChartTable& chart = c.chart_;
    const char* laneToken = chart[record].col1;
    const char* timeToken = chart[record].col2;
    if (!isDigits(laneToken) || std::strlen(laneToken) != 1) {
        c.warning(Kind::laneNotPlain, record,
                  c.where(record) + ": lane token " + quoted(laneToken) + " reads as lane " +
                      std::to_string(laneOf(chart, record)) + "; it works, but write just the digit");
    }
    if (!c.inFile(record, 1)) {
        c.problem(Kind::missingTime, record,
                  c.where(record) +
                      ": the file ends after this lane token, so the time is whatever the table"
                      " held before (0 on a fresh start, which spawns it at once)");
    } else if (!isDigits(timeToken)) {
        c.problem(Kind::timeNotPlain, record,
                  c.where(record) + ": time token " + quoted(timeToken) +
                      " is not a plain number of ms; the game"
                      " reads it as " +
                      ms(timeOf(chart, record)));
    }
}

// Whether the note is earlier than the one before it, which it then follows.
bool checkOrder(Checker& c, const NoteRun& note, int record)
{
    const ChartTable& chart = c.chart_;
    const std::int32_t time = timeOf(chart, record);
    if (record < 2 || time >= timeOf(chart, record - 1))
        return false;
    std::string text = c.where(record) + ": earlier than record " + std::to_string(record - 1) + " (" +
                       ms(timeOf(chart, record - 1)) + "); notes spawn in record order";
    if (note.dispatchedAt)
        text += ", so this one spawns at t=" + std::to_string(*note.dispatchedAt) + ", " +
                ms(static_cast<std::int64_t>(*note.dispatchedAt) - time) + " after its time";
    c.problem(Kind::outOfOrder, record, text);
    return true;
}

// What became of the note in play: never sent, dropped, retired before it
// could be hit, or sent late. `waitingAt` is the first note never sent.
void checkFate(Checker& c, const NoteRun& note, int record, bool early, std::int32_t lastPosition, int& waitingAt)
{
    const ChartTable& chart = c.chart_;
    const std::int32_t time = timeOf(chart, record);
    if (!note.dispatchedAt) {
        // Only a position stopped at the audio's end leaves a note unsent.
        if (waitingAt == 0)
            waitingAt = record;
        if (time > lastPosition) {
            c.problem(Kind::afterAudioEnd, record,
                      c.where(record) + ": after the audio's end (" + ms(c.report_.audio.lengthMs) +
                          "); the music never gets there, so it never spawns");
        } else {
            c.problem(Kind::blockedNote, record,
                      c.where(record) + ": never spawns; the chart waits at record " + std::to_string(waitingAt) +
                          ", whose time is after the audio's end");
        }
    } else if (note.slot < 0) {
        c.problem(Kind::droppedNote, record,
                  c.where(record) + ": dropped at t=" + std::to_string(*note.dispatchedAt) + ": lane " +
                      std::to_string(laneOf(chart, record)) + " already has " + std::to_string(kSlotsPerLane) +
                      " arrows in flight (records " + recordList(note.laneHolders) + "), so this note never appears");
    } else if (!note.pressed) {
        c.problem(Kind::retiredEarly, record,
                  c.where(record) + ": its arrow spawns at t=" + std::to_string(*note.dispatchedAt) +
                      " and is retired at t=" + std::to_string(note.retiredAt.value_or(*note.dispatchedAt)) +
                      " (its time + " + ms(kArrowLifetime) + ") before it reaches the targets; it can never be hit");
    } else if (!early && *note.dispatchedAt > dueTick(time, lastPosition)) {
        c.warning(Kind::lateSpawn, record,
                  c.where(record) + ": spawns at t=" + std::to_string(*note.dispatchedAt) + ", " +
                      ms(static_cast<std::int64_t>(*note.dispatchedAt) - dueTick(time, lastPosition)) +
                      " after the tick it was due on; the game sends one note per tick, so notes due together"
                      " rise 10 px apart");
    }
}

void checkClashes(Checker& c, const Run& run)
{
    for (const Clash& clash : run.clashes) {
        const std::string first = "record " + std::to_string(clash.first);
        const std::string second = "record " + std::to_string(clash.second);
        c.problem(Kind::closeNotes, clash.first,
                  c.where(clash.first) + ": too close to " + second + " (" + ms(timeOf(c.chart_, clash.second)) +
                      ") of the same lane: at t=" + std::to_string(clash.t) + ", with " + first + " at Top " +
                      std::to_string(clash.firstTop) + " (great window), " + second + " is at Top " +
                      std::to_string(clash.secondTop) + " (" + clash.secondBand + " window), so a press for " + first +
                      " also judges " + second);
    }
}

void checkNotes(Checker& c, const Run& run, std::int32_t lastPosition)
{
    int waitingAt = 0;  // the note the chart stops at when the music ends first
    for (int record = 1; record <= c.report_.notes; ++record) {
        const NoteRun& note = run.notes[record];
        checkNoteTokens(c, record);
        const bool early = checkOrder(c, note, record);
        checkFate(c, note, record, early, lastPosition, waitingAt);
    }
    checkClashes(c, run);
}

}  // namespace

ChartTokens scanTokens(std::string_view text)
{
    ChartTokens tokens;
    std::size_t at = 0;
    ChartTokenizer tokenizer([&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; });
    for (std::size_t length = 0; tokenizer.next([&](char) { ++length; }); length = 0) {
        if (tokens.count < static_cast<std::size_t>(kChartTokens))
            tokens.read.push_back({length, tokenizer.tokenLine()});
        else if (tokens.count == static_cast<std::size_t>(kChartTokens))
            tokens.ignoredFromLine = tokenizer.tokenLine();
        ++tokens.count;
    }
    return tokens;
}

int ChartReport::count(Severity severity) const
{
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.severity == severity; }));
}

ChartReport analyse(const ChartTable& chart, const ChartTokens& tokens, const AudioInfo& audio)
{
    ChartReport report;
    report.tokenCount = tokens.count;
    const std::size_t pairsInFile = (tokens.count + 1) / 2;
    report.pairsRead = static_cast<int>(std::min<std::size_t>(pairsInFile, kChartRecords));
    report.pairsIgnored = pairsInFile - static_cast<std::size_t>(report.pairsRead);
    report.audio = audio;
    report.audio.name = chart[0].col2;

    // The tick's own test for the end: the first record whose lane is not 1..4.
    report.end.record = kChartRecords;
    for (int record = 1; record < kChartRecords; ++record) {
        if (!isLane(laneOf(chart, record))) {
            report.end.record = record;
            break;
        }
    }
    report.notes = report.end.record - 1;
    Checker checker(chart, tokens, report);
    if (report.end.record == kChartRecords) {
        report.end.reason = ChartEnd::Reason::lastRecord;
    } else if (checker.inFile(report.end.record, 0)) {
        report.end.reason = ChartEnd::Reason::laneToken;
        report.end.token = chart[report.end.record].col1;
    } else {
        report.end.reason = ChartEnd::Reason::endOfFile;
    }

    const std::int32_t lastPosition = audio.status == AudioInfo::Status::known
                                          ? std::max(audio.lengthMs, 0)
                                          : std::numeric_limits<std::int32_t>::max();
    const Run run = simulate(chart, report.notes, lastPosition);
    report.perfect = run.perfect;
    for (int record = 1; record <= report.notes; ++record)
        report.spawned += run.notes[record].slot >= 0;

    checkTokens(checker);
    checkHeader(checker);
    checkAudio(checker);
    checkEnd(checker);
    checkNotes(checker, run, lastPosition);
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding& a, const Finding& b) { return a.record < b.record; });
    return report;
}

}  // namespace zorv::chartcheck
