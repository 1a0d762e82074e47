#include "tools/corpus/Truth.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace zorv::corpus {
namespace {

double sampleMs(std::int64_t sample) { return static_cast<double>(sample) * 1000.0 / songs::kSampleRate; }

std::string meterName(const songs::Meter& meter)
{
    if (meter.stepsPerBeat == 6)
        return std::to_string(meter.stepsPerBar / 2) + "/8";
    return std::to_string(meter.stepsPerBar / meter.stepsPerBeat) + "/4";
}

std::string fixed(double value, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

[[noreturn]] void bad(int line, const std::string& what)
{
    throw std::runtime_error("truth line " + std::to_string(line) + ": " + what);
}

double number(std::istringstream& in, int line)
{
    std::string token;
    if (!(in >> token))
        bad(line, "a number is missing");
    double value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size())
        bad(line, "not a number: '" + token + "'");
    return value;
}

std::string word(std::istringstream& in, int line)
{
    std::string token;
    if (!(in >> token))
        bad(line, "a word is missing");
    return token;
}

}  // namespace

Truth truthOf(const songs::Song& song)
{
    Truth truth;
    truth.name = song.name;
    truth.lengthMs = sampleMs(songs::songSamples(song));
    truth.meter = meterName(song.meter);
    truth.swingPercent = song.swing.percent;
    truth.tempos.emplace_back(0, song.bpm);
    for (const auto& change : song.tempoChanges)
        truth.tempos.emplace_back(change.bar, change.bpm);

    const auto& meter = song.meter;
    for (int bar = 0; bar < song.bars; ++bar) {
        for (int step = 0; step < meter.stepsPerBar; step += meter.stepsPerBeat) {
            truth.beats.push_back({sampleMs(songs::stepSample(song, bar * meter.stepsPerBar + step)), step == 0});
        }
    }
    for (const auto& part : song.parts) {
        const std::string instrument(songs::voiceName(part.voice));
        for (const auto& note : part.notes) {
            const double ms = sampleMs(songs::onsetSample(song, note.step, note.nudge));
            truth.onsets.push_back({ms, part.name, instrument, note.velocity});
        }
    }
    for (const auto& hit : song.drums) {
        const double ms = sampleMs(songs::onsetSample(song, hit.step, hit.nudge));
        truth.onsets.push_back({ms, "drums", std::string(songs::drumName(hit.drum)), hit.velocity});
    }
    // Stable, so notes of one chord keep the order the score gave them.
    std::stable_sort(truth.onsets.begin(), truth.onsets.end(), [](const TrueOnset& a, const TrueOnset& b) {
        return std::tie(a.ms, a.part, a.instrument) < std::tie(b.ms, b.part, b.instrument);
    });
    return truth;
}

Truth looped(const Truth& truth, int times)
{
    Truth out = truth;
    out.lengthMs = truth.lengthMs * times;
    out.beats.clear();
    out.onsets.clear();
    for (int k = 0; k < times; ++k) {
        const double shift = truth.lengthMs * k;
        for (auto beat : truth.beats) {
            beat.ms += shift;
            out.beats.push_back(beat);
        }
        for (auto onset : truth.onsets) {
            onset.ms += shift;
            out.onsets.push_back(onset);
        }
    }
    return out;
}

std::string truthText(const Truth& truth)
{
    std::string text;
    text += "# Ground truth of a corpus song, from its score. Times in ms from the first sample.\n";
    text += "# beat <ms> <1: first beat of a bar, 0: any other>\n";
    text += "# onset <ms> <part> <instrument> <velocity 0..1>\n";
    text += "song " + truth.name + "\n";
    text += "length " + fixed(truth.lengthMs, 2) + "\n";
    text += "meter " + truth.meter + "\n";
    text += "swing " + std::to_string(truth.swingPercent) + "\n";
    for (const auto& [bar, bpm] : truth.tempos)
        text += "tempo " + std::to_string(bar) + " " + std::to_string(bpm) + "\n";
    for (const auto& beat : truth.beats)
        text += "beat " + fixed(beat.ms, 2) + (beat.downbeat ? " 1\n" : " 0\n");
    for (const auto& onset : truth.onsets) {
        text += "onset " + fixed(onset.ms, 2) + " " + onset.part + " " + onset.instrument + " " +
                fixed(onset.velocity, 3) + "\n";
    }
    return text;
}

Truth parseTruth(std::string_view text)
{
    Truth truth;
    std::istringstream lines{std::string(text)};
    int line = 0;
    for (std::string content; std::getline(lines, content);) {
        ++line;
        std::istringstream in(content);
        std::string kind;
        if (!(in >> kind) || kind[0] == '#')
            continue;
        if (kind == "song") {
            truth.name = word(in, line);
        } else if (kind == "length") {
            truth.lengthMs = number(in, line);
        } else if (kind == "meter") {
            truth.meter = word(in, line);
        } else if (kind == "swing") {
            truth.swingPercent = static_cast<int>(number(in, line));
        } else if (kind == "tempo") {
            const auto bar = static_cast<int>(number(in, line));
            truth.tempos.emplace_back(bar, static_cast<int>(number(in, line)));
        } else if (kind == "beat") {
            const double ms = number(in, line);
            if (!truth.beats.empty() && ms < truth.beats.back().ms)
                bad(line, "beat before the one above it");
            truth.beats.push_back({ms, number(in, line) != 0});
        } else if (kind == "onset") {
            TrueOnset onset;
            onset.ms = number(in, line);
            if (!truth.onsets.empty() && onset.ms < truth.onsets.back().ms)
                bad(line, "onset before the one above it");
            onset.part = word(in, line);
            onset.instrument = word(in, line);
            onset.velocity = static_cast<float>(number(in, line));
            truth.onsets.push_back(std::move(onset));
        } else {
            bad(line, "unknown record '" + kind + "'");
        }
        if (std::string rest; in >> rest)
            bad(line, "more fields than expected");
    }
    if (truth.name.empty() || truth.lengthMs <= 0)
        throw std::runtime_error("truth without a song name or length");
    return truth;
}

}  // namespace zorv::corpus
