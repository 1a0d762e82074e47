#include "tools/chart/check/Findings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/Lanes.h"
#include "play/Play.h"

namespace zorv::chartcheck {
namespace {

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

std::string quoted(const char* text) { return '"' + std::string(text) + '"'; }
std::string ms(std::int64_t value) { return std::to_string(value) + " ms"; }

// The first grid tick at or after `time`, where the position stops at `last`.
std::int32_t dueTick(std::int32_t time, std::int32_t last)
{
    const std::int64_t from = std::max<std::int64_t>(time, 0);
    const std::int64_t tick = (from + kTickMs - 1) / kTickMs * kTickMs;
    return static_cast<std::int32_t>(std::min<std::int64_t>(tick, last));
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

void addFindings(const ChartTable& chart, const ChartTokens& tokens, const Run& run, std::int32_t lastPosition,
                 ChartReport& report)
{
    Checker checker(chart, tokens, report);
    checkTokens(checker);
    checkHeader(checker);
    checkAudio(checker);
    checkEnd(checker);
    checkNotes(checker, run, lastPosition);
}

}  // namespace zorv::chartcheck
