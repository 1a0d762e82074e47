// The chart maker runs aubio's onset detection through its own plumbing, to
// skip the phases aubio's phase vocoder works out and spectral flux never
// reads. It must still find aubio's onsets, to the sample.

#include <gtest/gtest.h>

#define AUBIO_UNSTABLE 1
#include <aubio/aubio.h>

#include <cstdint>
#include <vector>

#include "support/TestSong.h"
#include "support/TempDir.h"
#include "tools/chart/make/Features.h"

namespace zorv::chartmake {
namespace {

TEST(Analysis, FindsTheOnsetsAubiosOwnDetectorFinds)
{
    const test::TempDir dir;
    struct Case {
        const char* name;
        test::TestSong song;
    };
    const Case cases[] = {
        {"kicks, tones and hats", test::beatSong(128, 12, 44100, 2)},
        {"a quiet one", test::beatSong(90, 12, 44100, 2, 0.02f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // aubio_onset on the same mono mix the analysis hears.
        aubio_onset_t* aubio = new_aubio_onset("specflux", 512, kHopSamples, kAnalysisRate);
        aubio_onset_set_delay(aubio, kOnsetDelaySamples);
        fvec_t* hop = new_fvec(kHopSamples);
        fvec_t* found = new_fvec(1);
        std::vector<double> expected;
        uint_t filled = 0;
        float sum = 0;
        int summed = 0;
        Analyser analyser;
        const DecodedAudio audio =
            decodeAudio(dir.file("song.wav", test::wavBytes(c.song)), [&](const std::int16_t* s, std::size_t frames) {
                analyser.feed(s, frames);
                for (std::size_t i = 0; i < 2 * frames; ++i) {
                    sum += s[i];
                    if (++summed < 8)
                        continue;
                    hop->data[filled++] = sum / (32768.0f * 8);
                    sum = 0;
                    summed = 0;
                    if (filled < kHopSamples)
                        continue;
                    filled = 0;
                    aubio_onset_do(aubio, hop, found);
                    if (found->data[0] > 0)
                        expected.push_back(aubio_onset_get_last(aubio) * 1000.0 / kAnalysisRate);
                }
            });
        const Features features = analyser.finish(audio);
        std::vector<double> onsets;
        for (const Onset& onset : features.onsets)
            onsets.push_back(onset.ms);
        EXPECT_EQ(onsets, expected);
        EXPECT_GT(onsets.size(), 20u);
        del_fvec(found);
        del_fvec(hop);
        del_aubio_onset(aubio);
    }
}

}  // namespace
}  // namespace zorv::chartmake
