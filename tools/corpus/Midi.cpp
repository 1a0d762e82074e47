#include "Midi.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace zorv::corpus {
namespace {

// Reads the bytes of one chunk, refusing to step past its end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool done() const { return at_ >= bytes_.size(); }
    std::size_t left() const { return bytes_.size() - at_; }
    int byte()
    {
        need(1);
        return static_cast<unsigned char>(bytes_[at_++]);
    }
    int peek() const { return done() ? -1 : static_cast<unsigned char>(bytes_[at_]); }
    std::uint32_t big(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 8 | static_cast<std::uint32_t>(byte());
        return value;
    }
    // A variable-length quantity: at most four bytes, seven bits each.
    std::uint32_t variable()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int b = byte();
            value = value << 7 | static_cast<std::uint32_t>(b & 0x7f);
            if ((b & 0x80) == 0)
                return value;
        }
        throw MidiError("a length or delta time longer than four bytes");
    }
    std::string_view take(std::size_t count)
    {
        need(count);
        const auto out = bytes_.substr(at_, count);
        at_ += count;
        return out;
    }

private:
    void need(std::size_t count) const
    {
        if (count > left())
            throw MidiError("the file ends inside an event or chunk");
    }
    std::string_view bytes_;
    std::size_t at_ = 0;
};

struct Track {
    int number = 0;
    std::int64_t tick = 0;
    // The running status: the last channel message's status byte. Kept across
    // meta and system exclusive events too, as lenient readers do, for the
    // files that rely on it.
    int status = 0;
    std::map<std::tuple<int, int>, std::vector<std::size_t>> sounding;  // (channel, key) -> open notes
};

void meta(Reader& in, Track& track, MidiFile& out)
{
    const int type = in.byte();
    const auto data = in.take(in.variable());
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
    if (type == 0x51 && data.size() == 3) {
        const auto micros = static_cast<std::int32_t>(at(0) << 16 | at(1) << 8 | at(2));
        if (micros > 0)
            out.tempos.push_back({track.tick, micros});
    } else if (type == 0x58 && data.size() >= 2 && at(1) < 8) {
        out.meters.push_back({track.tick, at(0), 1 << at(1)});
    } else if (type == 0x03 && out.tracks[static_cast<std::size_t>(track.number)].empty()) {
        out.tracks[static_cast<std::size_t>(track.number)] = std::string(data);
    }
}

void channelMessage(Reader& in, Track& track, int status, MidiFile& out)
{
    const int kind = status & 0xf0, channel = status & 0x0f;
    const int first = in.byte();
    const int second = kind == 0xc0 || kind == 0xd0 ? 0 : in.byte();
    if ((first | second) & 0x80)
        throw MidiError("a status byte where a data byte belongs");
    const bool on = kind == 0x90 && second > 0;
    const bool off = kind == 0x80 || (kind == 0x90 && second == 0);
    auto& open = track.sounding[{channel, first}];
    if (on) {
        open.push_back(out.notes.size());
        out.notes.push_back({track.number, channel, first, track.tick, -1});
    } else if (off && !open.empty()) {
        out.notes[open.front()].endTick = track.tick;
        open.erase(open.begin());
    }
}

void readTrack(std::string_view bytes, int number, MidiFile& out)
{
    Reader in(bytes);
    Track track;
    track.number = number;
    out.tracks.emplace_back();
    const std::size_t firstNote = out.notes.size();
    while (!in.done()) {
        track.tick += in.variable();
        int status = in.peek();
        if (status >= 0x80)
            in.byte();
        else if (track.status != 0)
            status = track.status;  // running status: the data bytes follow at once
        else
            throw MidiError("a data byte with no status before it");
        if (status == 0xff) {
            const bool end = in.peek() == 0x2f;
            meta(in, track, out);
            if (end)
                break;
        } else if (status == 0xf0 || status == 0xf7) {
            in.take(in.variable());
        } else if (status >= 0xf0) {
            throw MidiError("a system message a file cannot hold");
        } else {
            track.status = status;
            channelMessage(in, track, status, out);
        }
    }
    out.endTick = std::max(out.endTick, track.tick);
    for (std::size_t i = firstNote; i < out.notes.size(); ++i)
        if (out.notes[i].endTick < 0)
            out.notes[i].endTick = track.tick;
}

}  // namespace

double MidiFile::msAt(std::int64_t tick) const
{
    double ms = 0;
    for (std::size_t i = 0; i < tempos.size(); ++i) {
        const std::int64_t from = tempos[i].tick;
        if (from >= tick)
            break;
        const std::int64_t to = i + 1 < tempos.size() ? std::min(tick, tempos[i + 1].tick) : tick;
        ms += static_cast<double>(to - from) * tempos[i].microsPerQuarter / 1000.0 / ticksPerQuarter;
    }
    return ms;
}

double MidiFile::bpmAt(std::int64_t tick) const
{
    auto micros = tempos.front().microsPerQuarter;
    for (const auto& tempo : tempos)
        if (tempo.tick <= tick)
            micros = tempo.microsPerQuarter;
    return 60e6 / micros;
}

MidiFile parseMidi(std::string_view bytes)
{
    Reader file(bytes);
    if (file.left() < 14 || file.take(4) != "MThd")
        throw MidiError("no MIDI header");
    const std::uint32_t headerLength = file.big(4);
    if (headerLength < 6)
        throw MidiError("a MIDI header shorter than six bytes");
    Reader header(file.take(headerLength));
    const std::uint32_t format = header.big(2), trackCount = header.big(2), division = header.big(2);
    if (format > 1)
        throw MidiError("MIDI format " + std::to_string(format) + " (only 0 and 1 are read)");
    if ((division & 0x8000) != 0 || division == 0)
        throw MidiError("time division in SMPTE frames or zero ticks per quarter");
    MidiFile out;
    out.ticksPerQuarter = static_cast<int>(division);
    for (std::uint32_t i = 0; i < trackCount && !file.done(); ++i) {
        const auto id = file.take(4);
        const auto chunk = file.take(file.big(4));
        if (id == "MTrk")
            readTrack(chunk, static_cast<int>(out.tracks.size()), out);
    }
    std::stable_sort(out.tempos.begin(), out.tempos.end(), [](auto& a, auto& b) { return a.tick < b.tick; });
    if (out.tempos.empty() || out.tempos.front().tick > 0)
        out.tempos.insert(out.tempos.begin(), MidiTempo{});
    std::stable_sort(out.meters.begin(), out.meters.end(), [](auto& a, auto& b) { return a.tick < b.tick; });
    std::stable_sort(out.notes.begin(), out.notes.end(), [](const MidiNote& a, const MidiNote& b) {
        return std::tie(a.tick, a.track, a.key) < std::tie(b.tick, b.track, b.key);
    });
    return out;
}

}  // namespace zorv::corpus
