#pragma once
// What a chart does once the game has read it: which notes play, which are
// lost, which arrows crowd each other, what a flawless player would score.
// Works on a chart already in memory plus a few facts about its file and its
// audio, so every check can be tried on a chart written inline.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/Chart.h"

namespace zorv::chartcheck {

// What the table cannot tell: how long each token really was, which line it
// started on, and how many tokens the file holds beyond those read.
struct TokenInfo {
    std::size_t length = 0;
    int line = 0;  // 1-based
};

struct ChartTokens {
    std::size_t count = 0;        // every token in the file
    std::vector<TokenInfo> read;  // the first kChartTokens of them
    int ignoredFromLine = 0;      // line of the first token past those, if any
};

// Splits `text` exactly as the chart reader does.
ChartTokens scanTokens(std::string_view text);

// The audio named in the chart's first pair, as found beside the chart.
struct AudioInfo {
    enum class Status {
        notChecked,     // nothing was looked up, or the header names none
        missing,        // no such file
        unplayable,     // there, but the game's player refuses it
        lengthUnknown,  // no audio device here to ask
        known,
    };
    Status status = Status::notChecked;
    std::string name;    // as written in the chart
    std::string path;    // where it was looked for
    std::string reason;  // why it would not open
    std::int32_t lengthMs = 0;
};

enum class Severity { problem, warning };

enum class Kind {
    // problems
    pairsIgnored,    // more than kChartRecords pairs in the file
    overlongToken,   // over ChartLine::kFieldChars, cut by the reader
    missingEndPair,  // the chart ends only because the file does
    notesAfterEnd,   // notes written after the record that ends the chart
    missingTime,     // a lane token is the file's last token
    audioNameHolds,  // the audio name reads as a number above 0
    audioMissing,
    audioUnplayable,
    afterAudioEnd,  // the music never gets that far
    blockedNote,    // waits forever behind a note after the audio's end
    droppedNote,    // its lane had kSlotsPerLane arrows in flight
    retiredEarly,   // retired before reaching the targets
    outOfOrder,     // earlier than the note before it
    timeNotPlain,   // time token other than plain digits
    closeNotes,     // one press judges two arrows of a lane
    // warnings
    laneNotPlain,     // reads as 1..4 but is not just the digit
    audioNameNumber,  // starts with a number that never holds anything
    audioLengthUnknown,
    lateSpawn,  // dispatched a tick or more after it was due
};

struct Finding {
    Severity severity = Severity::problem;
    Kind kind = Kind::pairsIgnored;
    int record = -1;   // 0 the header, 1..299 a note, -1 the file as a whole
    std::string text;  // where, what, and why it matters
};

struct ChartEnd {
    enum class Reason {
        laneToken,   // a record read from the file has a lane outside 1..4
        endOfFile,   // the file ran out; the empty record reads as lane 0
        lastRecord,  // all 299 note records are notes
    };
    Reason reason = Reason::endOfFile;
    int record = 1;     // the record that ends it; 300 for lastRecord
    std::string token;  // its lane token, for laneToken
};

// Every arrow pressed once, on the tick it reaches Top 17 (14 for a lane-1
// slot never used before), from a fresh score board.
struct PerfectPlay {
    int presses = 0;
    std::int32_t score = 0;
    std::int32_t great = 0;
    std::int32_t good = 0;
    std::int32_t bad = 0;
    std::int32_t miss = 0;
    int pressesJudgingMore = 0;  // presses that also judged another window
};

struct ChartReport {
    std::size_t tokenCount = 0;
    int pairsRead = 0;
    std::size_t pairsIgnored = 0;
    int notes = 0;    // records 1 .. end.record - 1
    int spawned = 0;  // notes that became arrows
    ChartEnd end;
    AudioInfo audio;
    PerfectPlay perfect;
    std::vector<Finding> findings;  // file-wide first, then by record

    int count(Severity severity) const;
    bool hasProblems() const { return count(Severity::problem) > 0; }
};

// `chart` must hold what a fresh game reads from the file `tokens` describes.
// With the audio length known, the play position stops at it, as the game's does.
ChartReport analyse(const ChartTable& chart, const ChartTokens& tokens, const AudioInfo& audio = {});

// `text` read as a fresh game reads it, beside audio of `audioLengthMs` (the
// player's length): how the tools check a chart they are about to write.
ChartReport analyseText(std::string_view text, std::int32_t audioLengthMs);

// The report as chart authors read it. `chartName` heads it.
std::string formatReport(const ChartReport& report, std::string_view chartName);

}  // namespace zorv::chartcheck
