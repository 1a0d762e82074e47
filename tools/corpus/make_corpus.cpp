// make-corpus: writes each corpus song's ground truth and, where the audio is
// missing or was made by another build of this program (another score or
// synthesiser), renders the song to WAV for tools/corpus/make-corpus.sh to
// encode.
//
//   make-corpus [--force] [--only NAME] [--list] <dir>

#include "tools/corpus/Corpus.h"
#include "tools/songs/Synth.h"
#include "tools/corpus/Truth.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace zorv;

int usage()
{
    std::fprintf(stderr, "usage: make-corpus [--force] [--only NAME] [--list] <dir>\n");
    return 2;
}

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Through a temporary name, so an interrupted run never leaves a file that
// looks finished.
void writeFile(const fs::path& path, const std::string& bytes)
{
    const fs::path temporary = path.string() + ".part";
    {
        std::ofstream file(temporary, std::ios::binary);
        file << bytes;
        if (!file)
            throw std::runtime_error("cannot write " + temporary.string());
    }
    fs::rename(temporary, path);
}

// Names the build of this program: its own bytes, hashed (FNV-1a 64). The
// audio depends on the scores and the synthesiser, both compiled in, so a
// song made by the same bytes needs no new render.
std::string generatorId()
{
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const unsigned char byte : readFile("/proc/self/exe")) {
        hash ^= byte;
        hash *= 0x100000001b3u;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::vector<std::int16_t> repeated(const std::vector<std::int16_t>& samples, int times)
{
    std::vector<std::int16_t> out;
    out.reserve(samples.size() * static_cast<std::size_t>(times));
    for (int k = 0; k < times; ++k)
        out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

void render(const corpus::Piece& piece, const fs::path& dir)
{
    songs::RenderStats stats;
    const auto samples = repeated(songs::renderSong(piece.song, stats), piece.plays);
    const fs::path wav = dir / (piece.name + ".wav");
    const fs::path temporary = wav.string() + ".part";
    songs::writeWav(temporary.string(), samples);
    fs::rename(temporary, wav);
    std::printf("  peak %.2f dBFS, RMS %.2f dBFS, limiter down to %.2f dB\n", stats.peakDb, stats.rmsDb,
                stats.limitedDb);
    for (const auto& p : stats.parts)
        std::printf("    %-8s %6.1f dB\n", p.name.c_str(), p.db);
}

// Writes the piece's truth, and renders it unless its audio is there, made
// by this very build, for the same truth.
void make(const corpus::Piece& piece, const fs::path& dir, const std::string& id, bool force)
{
    const auto truth = corpus::looped(corpus::truthOf(piece.song), piece.plays);
    auto named = truth;
    named.name = piece.name;
    const std::string text = corpus::truthText(named);
    const fs::path truthPath = dir / (piece.name + ".truth");
    const fs::path madeBy = dir / (piece.name + ".made-by");
    std::printf("%s: %s, %d BPM, %.1f s, %zu onsets, %zu beats", piece.name.c_str(), truth.meter.c_str(),
                piece.song.bpm, truth.lengthMs / 1000.0, truth.onsets.size(), truth.beats.size());
    if (!force && fs::exists(dir / (piece.name + ".mp3")) && readFile(truthPath) == text && readFile(madeBy) == id) {
        std::printf(", up to date\n");
        return;
    }
    std::printf(", rendering\n");
    std::fflush(stdout);
    fs::create_directories(dir);
    render(piece, dir);
    writeFile(truthPath, text);
    writeFile(madeBy, id);
}

}  // namespace

int main(int argc, char** argv)
{
    bool force = false, list = false;
    std::string only;
    fs::path dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--force") {
            force = true;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && dir.empty()) {
            dir = arg;
        } else {
            return usage();
        }
    }
    if (dir.empty() && !list)
        return usage();

    try {
        const std::string id = generatorId() + "\n";
        bool found = only.empty();
        for (const auto& piece : corpus::corpus()) {
            if (!only.empty() && piece.name != only)
                continue;
            found = true;
            if (list)
                std::printf("%s\n", piece.name.c_str());
            else
                make(piece, dir, id, force);
        }
        if (!found) {
            std::fprintf(stderr, "make-corpus: no song named %s\n", only.c_str());
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-corpus: %s\n", e.what());
        return 1;
    }
    return 0;
}
