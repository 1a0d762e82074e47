#include "tools/songs/Notation.h"

#include <array>
#include <charconv>
#include <stdexcept>
#include <string>
#include <utility>

namespace zorv::songs {
namespace {

[[noreturn]] void fail(const std::string& what, std::string_view token)
{
    throw std::runtime_error(what + ": '" + std::string(token) + "'");
}

std::vector<std::string_view> splitTokens(std::string_view text, std::string_view separators)
{
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto start = text.find_first_not_of(separators, pos);
        if (start == std::string_view::npos)
            break;
        auto end = text.find_first_of(separators, start);
        if (end == std::string_view::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        pos = end;
    }
    return out;
}

// Reads a letter and an optional accidental off the front of `s`. Returns the
// semitone offset from C, possibly -1 ("Cb") or 12 ("B#"), or nothing.
bool takePitchLetter(std::string_view& s, int& semitone)
{
    if (s.empty())
        return false;
    static constexpr std::array<int, 7> kFromA = {9, 11, 0, 2, 4, 5, 7};
    if (s[0] < 'A' || s[0] > 'G')
        return false;
    semitone = kFromA[static_cast<std::size_t>(s[0] - 'A')];
    s.remove_prefix(1);
    if (!s.empty() && s[0] == '#') {
        ++semitone;
        s.remove_prefix(1);
    } else if (!s.empty() && s[0] == 'b') {
        --semitone;
        s.remove_prefix(1);
    }
    return true;
}

int positiveNumber(std::string_view digits, std::string_view token)
{
    int value = 0;
    const auto* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || ec != std::errc() || ptr != end || value <= 0)
        fail("bad length", token);
    return value;
}

std::string where(int step, int stepsPerBar)
{
    return "bar " + std::to_string(step / stepsPerBar + 1) + " step " + std::to_string(step % stepsPerBar);
}

}  // namespace

int pitchFromName(std::string_view name)
{
    std::string_view s = name;
    int semitone = 0;
    if (!takePitchLetter(s, semitone) || s.size() != 1 || s[0] < '0' || s[0] > '9') {
        fail("not a note name", name);
    }
    const int octave = s[0] - '0';
    return 12 * (octave + 1) + semitone;
}

std::vector<MelodyNote> parseMelody(std::string_view text, int bars, const Meter& meter)
{
    std::vector<MelodyNote> notes;
    int pos = 0;
    for (const auto token : splitTokens(text, " \t\n")) {
        if (token == "|") {
            if (pos % meter.stepsPerBar != 0)
                fail("bar line at " + where(pos, meter.stepsPerBar), token);
            continue;
        }
        const auto colon = token.find(':');
        if (colon == std::string_view::npos)
            fail("expected <note>:<eighths> at " + where(pos, meter.stepsPerBar), token);
        const auto name = token.substr(0, colon);
        auto length = token.substr(colon + 1);
        CueMark mark = CueMark::bySection;
        if (!length.empty() && (length.back() == '!' || length.back() == '~')) {
            mark = length.back() == '!' ? CueMark::always : CueMark::never;
            length.remove_suffix(1);
        }
        const int steps = positiveNumber(length, token) * kStepsPerEighth;
        if (name == "r") {
            if (mark != CueMark::bySection)
                fail("a rest cannot carry an arrow", token);
        } else {
            notes.push_back({pos, steps, pitchFromName(name), mark});
        }
        pos += steps;
    }
    if (pos != bars * meter.stepsPerBar) {
        fail("line ends at " + where(pos, meter.stepsPerBar) + " instead of after bar " + std::to_string(bars),
             text.substr(0, 40));
    }
    return notes;
}

Chord parseChord(std::string_view symbol)
{
    std::string_view s = symbol;
    int root = 0;
    if (!takePitchLetter(s, root))
        fail("not a chord", symbol);
    Chord chord;
    chord.root = (root + 12) % 12;
    chord.bass = chord.root;
    std::string_view quality = s;
    if (const auto slash = s.find('/'); slash != std::string_view::npos) {
        quality = s.substr(0, slash);
        auto bassName = s.substr(slash + 1);
        int bass = 0;
        if (!takePitchLetter(bassName, bass) || !bassName.empty())
            fail("bad bass note", symbol);
        chord.bass = (bass + 12) % 12;
    }
    static const std::array<std::pair<std::string_view, std::vector<int>>, 12> kQualities = {{
        {"", {0, 4, 7}},
        {"m", {0, 3, 7}},
        {"7", {0, 4, 7, 10}},
        {"m7", {0, 3, 7, 10}},
        {"maj7", {0, 4, 7, 11}},
        {"6", {0, 4, 7, 9}},
        {"m6", {0, 3, 7, 9}},
        {"sus2", {0, 2, 7}},
        {"sus4", {0, 5, 7}},
        {"dim", {0, 3, 6}},
        {"add9", {0, 4, 7, 14}},
        {"madd9", {0, 3, 7, 14}},
    }};
    for (const auto& [name, intervals] : kQualities) {
        if (name == quality) {
            chord.intervals = intervals;
            return chord;
        }
    }
    fail("unknown chord quality", symbol);
}

std::vector<ChordSpan> parseChordBars(std::string_view text, const Meter& meter)
{
    std::vector<ChordSpan> spans;
    int bar = 0;
    for (const auto token : splitTokens(text, " \t\n")) {
        const auto parts = splitTokens(token, "-");
        const auto count = static_cast<int>(parts.size());
        if (count == 0 || meter.stepsPerBar % count != 0)
            fail("cannot share a bar that way", token);
        const int length = meter.stepsPerBar / count;
        for (int i = 0; i < count; ++i) {
            spans.push_back(
                {bar * meter.stepsPerBar + i * length, length, parseChord(parts[static_cast<std::size_t>(i)])});
        }
        ++bar;
    }
    return spans;
}

}  // namespace zorv::songs
