#include "bench/autoplay/Report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace zorv::autoplay {

int countOf(const std::string& text)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' ? static_cast<int>(value) : 0;
}

namespace {

std::string spreadText(const std::vector<double>& values)
{
    const Spread s = spreadOf(values);
    if (s.n == 0)
        return "none";
    char text[160];
    std::snprintf(text, sizeof text, "median %+.2f ms, p5..p95 %+.2f..%+.2f ms, min %+.2f, max %+.2f (n=%zu)", s.median,
                  s.p5, s.p95, s.minimum, s.maximum, s.n);
    return text;
}

}  // namespace

// Each part is printed, and flushed, as soon as what it shows is known: a
// play that fails later (or a crash) keeps what was measured.

void printStart(const PlayRecord& r)
{
    std::printf("== %s\n", r.label.c_str());
    std::printf("  chart: %zu notes over a %.1f s song; presses %+.0f ms from each beat\n", r.notes, r.songSeconds,
                r.offsetMs);
    if (r.sound)
        std::printf(
            "  song start: first sound %.2f ms into the song, heard %.1f ms after the start key, "
            "known %.1f ms after it was heard\n",
            r.firstSoundMs, r.heardAfterKeyMs, r.foundAfterMs);
    else
        std::printf("  song start: taken as the start key (no sound to listen to)\n");
    std::fflush(stdout);
}

void printPresses(const PlayRecord& r)
{
    if (r.sound)
        std::printf("  the ear moved the start %zu times, %+.2f ms in all\n", r.earCorrections, r.earMovedMs);
    std::printf("  press sent - when it was due: %s\n", spreadText(r.pressLateMs).c_str());
    std::printf("  press XTest round trip: %s\n", spreadText(r.pressRoundTripMs).c_str());
    std::fflush(stdout);
}

void printHeard(const PlayRecord& r)
{
    if (r.sound) {
        std::printf("  the whole song's recording puts the song's start %+.2f ms from where it was found\n",
                    r.anchorCheckMs);
        std::printf("  song heard - expected from its start (2 s stretches): %s; drift %+.2f ms/min\n",
                    spreadText(r.heardResidualMs).c_str(), slope(r.heardAtMinutes, r.heardResidualMs));
        std::printf("  press sent - its beat as heard: %s\n", spreadText(r.pressHeardMs).c_str());
    }
    if (!r.pressTruthMs.empty() || r.truthMissing > 0)
        std::printf("  press sent - nearest true onset as heard: %s; %zu notes with none within 50 ms\n",
                    spreadText(r.pressTruthMs).c_str(), r.truthMissing);
    std::printf("  game: arrow set out - its chart time as heard: %s\n", spreadText(r.spawnLagMs).c_str());
    const char* names[] = {"no judgement", "great", "good", "bad", "miss"};
    for (std::size_t j = 0; j < r.beatIntoGreatMs.size(); ++j) {
        if (!r.beatIntoGreatMs[j].empty())
            std::printf("  game: beat as heard - great window's start, %s: %s\n", names[j],
                        spreadText(r.beatIntoGreatMs[j]).c_str());
    }
    std::printf("  judgements drawn: great %d, good %d, bad %d, miss %d\n", r.screenCounts[0], r.screenCounts[1],
                r.screenCounts[2], r.screenCounts[3]);
    std::fflush(stdout);
}

void printBoard(const PlayRecord& r)
{
    const ScoreBoard& b = r.board;
    const int judged = b.great + b.good + b.bad + b.miss;
    std::printf("  score board (%s): great %d, good %d, bad %d, miss %d, sum %d; %d judgements for %zu notes\n",
                b.raw.c_str(), b.great, b.good, b.bad, b.miss, b.sum, judged, r.notes);
    std::printf("RESULT\t%s\t%zu\t%d\t%d\t%d\t%d\t%zu\t%d\n", r.label.c_str(), r.notes, b.great, b.good, b.bad, b.miss,
                r.notes - std::min<std::size_t>(r.notes, static_cast<std::size_t>(judged)), b.sum);
    std::fflush(stdout);
}

}  // namespace zorv::autoplay
