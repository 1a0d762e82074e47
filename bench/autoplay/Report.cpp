#include "Report.h"

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

void printRecord(const PlayRecord& r)
{
    std::printf("== %s\n", r.label.c_str());
    std::printf("  chart: %zu notes over a %.1f s song; presses %+.0f ms from each beat\n", r.notes, r.songSeconds,
                r.offsetMs);
    if (r.sound) {
        std::printf(
            "  song start: first sound %.2f ms into the song, heard %.1f ms after the start key, "
            "known %.1f ms after it was heard\n",
            r.firstSoundMs, r.heardAfterKeyMs, r.foundAfterMs);
        std::printf("  song onsets, heard - expected from the start: %s; drift %+.3f ms/min\n",
                    spreadText(r.onsetResidualMs).c_str(), slope(r.onsetAtMinutes, r.onsetResidualMs));
    } else {
        std::printf("  song start: taken as the start key (no sound to listen to)\n");
    }
    std::printf("  press sent - its beat as heard (harness): %s\n", spreadText(r.pressLateMs).c_str());
    std::printf("  press XTest round trip: %s\n", spreadText(r.pressRoundTripMs).c_str());
    if (!r.pressTruthMs.empty() || r.truthMissing > 0)
        std::printf("  press sent - nearest true onset as heard: %s; %zu notes with none within 50 ms\n",
                    spreadText(r.pressTruthMs).c_str(), r.truthMissing);
    const ScoreBoard& b = r.board;
    const int judged = b.great + b.good + b.bad + b.miss;
    std::printf("  score board (%s): great %d, good %d, bad %d, miss %d, sum %d; %d judgements for %zu notes\n",
                b.raw.c_str(), b.great, b.good, b.bad, b.miss, b.sum, judged, r.notes);
    std::printf("RESULT\t%s\t%zu\t%d\t%d\t%d\t%d\t%d\n", r.label.c_str(), r.notes, b.great, b.good, b.bad, b.miss,
                b.sum);
    std::fflush(stdout);
}

}  // namespace zorv::autoplay
