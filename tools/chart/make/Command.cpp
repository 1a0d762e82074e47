#include "tools/chart/make/Command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "tools/chartfile/AudioName.h"
#include "tools/chart/make/Files.h"
#include "tools/chart/make/Make.h"
#include "tools/chart/make/Slots.h"

namespace fs = std::filesystem;

namespace zorv::chartmake {

const std::string_view kMakeSynopsis =
    "zorv-chart make AUDIO [--level easy|medium|hard] (-o CHART | --into DIR --slot 1|2)";
const std::string_view kMakeHelp = R"(Charts a song: decodes AUDIO as the game plays it (MP3, OGG, FLAC, WAV),
finds where its sounds start, its beat and its melody, and puts every note
on a sound, so the note's beat falls where the music is. Easy keeps to the
beat; medium and hard add the notes between. Lanes follow the melody:
higher notes further right. The chart plays as written (checked as above
before it is written), holds at most 298 notes spread over the whole song,
and comes out the same for the same song and level.
  --level L       easy, medium (the default) or hard
  -o CHART        write the chart to CHART (- for standard output); it names
                  the audio by its file name, which must then be beside it
  --into DIR --slot N
                  make DIR a songs folder for the game: copy AUDIO there
                  under a name the chart can carry (a letter first, no
                  spaces), write the chart as Dodoroza.txt (slot 1) or
                  Virizivez.txt (slot 2), and copy the game's own song for
                  the other slot if its chart is missing; then play it with
                  ZORV_SONGS=DIR zorv
A summary goes to standard error: tempo, notes, notes per second, and what
was left out and why.
exit status
  0  the chart was written
  1  no chart can be made: the song is silent, too short (the first 2.9 s
     hold no note, and a few seconds must follow), or has nothing to put a
     note on; nothing is written
  2  AUDIO cannot be read or decoded, the command line is wrong, or the
     chart cannot be written; nothing is written
)";

namespace {

// Songs shorter than this are charted without a progress line.
constexpr double kProgressFromSeconds = 60;

struct MakeArgs {
    std::string audio;
    Level level = Level::medium;
    std::optional<std::string> out;
    std::optional<std::string> into;
    int slot = 0;
};

// A command line that does not make sense; the message says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The value of option `argv[i]`, given as "NAME VALUE" or "NAME=VALUE";
// nullopt when `argv[i]` is not that option.
std::optional<std::string> option(int argc, char** argv, int& i, std::string_view name, const char* wants)
{
    const std::string_view arg = argv[i];
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=')
        return std::string(arg.substr(name.size() + 1));
    if (arg != name)
        return std::nullopt;
    if (i + 1 >= argc)
        throw UsageError(std::string(name) + " takes " + wants);
    return std::string(argv[++i]);
}

MakeArgs parseMake(int argc, char** argv)
{
    MakeArgs args;
    bool positionalOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (positionalOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            if (!args.audio.empty())
                throw UsageError("one audio file at a time");
            args.audio = arg;
        } else if (arg == "--") {
            positionalOnly = true;
        } else if (const auto level = option(argc, argv, i, "--level", "easy, medium or hard")) {
            const std::optional<Level> named = levelNamed(*level);
            if (!named)
                throw UsageError("--level takes easy, medium or hard, not " + *level);
            args.level = *named;
        } else if (auto out = option(argc, argv, i, "-o", "a chart file, or - for standard output")) {
            args.out = std::move(out);
        } else if (auto into = option(argc, argv, i, "--into", "a folder")) {
            args.into = std::move(into);
        } else if (const auto slot = option(argc, argv, i, "--slot", "1 or 2")) {
            if (*slot != "1" && *slot != "2")
                throw UsageError("--slot takes 1 or 2, not " + *slot);
            args.slot = (*slot)[0] - '0';
        } else {
            throw UsageError("unknown option " + std::string(arg));
        }
    }
    if (args.audio.empty())
        throw UsageError("no audio file given");
    if (args.out.has_value() == args.into.has_value())
        throw UsageError("give either -o CHART or --into DIR --slot 1|2");
    if ((args.out && args.out->empty()) || (args.into && args.into->empty()))
        throw UsageError("an empty file name");
    if (args.into.has_value() != (args.slot != 0))
        throw UsageError(args.into ? "--into needs --slot 1 or 2" : "--slot goes with --into");
    return args;
}

// Where the output would go is checked before minutes of listening.
std::string refusalToWrite(const MakeArgs& args)
{
    std::error_code error;
    if (args.into) {
        if (fs::exists(*args.into, error) && !fs::is_directory(*args.into, error))
            return *args.into + " is not a folder";
        return {};
    }
    if (*args.out == "-")
        return {};
    if (fs::is_directory(*args.out, error))
        return *args.out + " is a folder";
    if (fs::equivalent(*args.out, args.audio, error))
        return *args.out + " is the audio itself";
    const fs::path parent = fs::path(*args.out).has_parent_path() ? fs::path(*args.out).parent_path() : ".";
    if (!fs::is_directory(parent, error))
        return "cannot write " + *args.out + ": no folder " + parent.string();
    return {};
}

// The audio name a chart written to `out` carries, with a note when the
// game would not find the audio under it beside the chart.
std::string audioNameFor(const fs::path& audio, const std::string& out, std::string& note)
{
    const std::string base = audio.filename().string();
    const std::string plain = chartfile::plainAudioName(base);
    std::error_code error;
    if (out == "-") {
        if (plain != base)
            note = "the chart names its audio " + plain + ": put the audio beside the chart under that name";
        return plain;
    }
    const fs::path folder = fs::path(out).has_parent_path() ? fs::path(out).parent_path() : ".";
    if (plain != base || !fs::equivalent(folder / base, audio, error))
        note = "the game looks for the audio beside the chart: copy " + audio.string() + " to " +
               (folder / plain).string() + " (--into DIR --slot N does that for you)";
    return plain;
}

int writeMade(const MakeArgs& args, const SlotPlan& plan, const MadeChart& made)
{
    try {
        if (args.into)
            fillSlot(plan, made.text);
        else if (*args.out == "-")
            std::fwrite(made.text.data(), 1, made.text.size(), stdout);
        else
            writeFileAtomically(*args.out, made.text);
    } catch (const FileError& e) {
        std::fprintf(stderr, "zorv-chart: %s; nothing written\n", e.what());
        return 2;
    }
    if (!args.out || *args.out != "-")
        return 0;
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 2;
}

void report(const MakeArgs& args, const SlotPlan& plan, const MadeChart& made, const Features& features,
            const std::string& note)
{
    const std::string to = args.into ? plan.chart.string() : *args.out == "-" ? "standard output" : *args.out;
    std::fprintf(stderr, "zorv-chart: %s -> %s\n%s", args.audio.c_str(), to.c_str(),
                 summaryOf(made, features, args.level).c_str());
    if (args.into && plan.copyAudio)
        std::fprintf(stderr, "  audio copied as %s\n", (plan.folder / plan.audioName).c_str());
    for (const auto& companion : plan.companions)
        std::fprintf(stderr, "  the game's own %s copied for the other slot\n", companion.second.filename().c_str());
    if (!note.empty())
        std::fprintf(stderr, "  note: %s\n", note.c_str());
    if (args.into)
        std::fprintf(stderr, "play it:\n  %s\n", playCommand(plan.folder).c_str());
}

int runMake(const MakeArgs& args)
{
    if (const std::string refusal = refusalToWrite(args); !refusal.empty()) {
        std::fprintf(stderr, "zorv-chart: %s; nothing written\n", refusal.c_str());
        return 2;
    }
    Features features;
    try {
        Listening listening(fs::path(args.audio).filename().string());
        features = analyseFile(args.audio, [&](std::int64_t done, std::int64_t all) { listening(done, all); });
    } catch (const DecodeError& e) {
        std::fprintf(stderr, "zorv-chart: cannot use %s: %s; nothing written\n", args.audio.c_str(), e.what());
        return 2;
    }
    SlotPlan plan;
    std::string note;
    if (args.into)
        plan = planSlot(*args.into, args.slot, args.audio, bundledSongsFolder());
    const std::string audioName = args.into ? plan.audioName : audioNameFor(args.audio, *args.out, note);
    if (!plan.note.empty())
        note = plan.note;
    MadeChart made;
    try {
        made = makeChart(features, args.level, chartfile::chartTitle(audioName), audioName);
    } catch (const NoChart& e) {
        std::fprintf(stderr, "zorv-chart: no chart for %s: %s; nothing written\n", args.audio.c_str(), e.what());
        return 1;
    } catch (const InternalError& e) {
        std::fprintf(stderr, "zorv-chart: internal error charting %s: %s\nnothing written\n", args.audio.c_str(),
                     e.what());
        return 1;
    }
    const int status = writeMade(args, plan, made);
    if (status == 0)
        report(args, plan, made, features, note);
    return status;
}

}  // namespace

Listening::Listening(std::string name) : name_(std::move(name)), stderr_(dup(STDERR_FILENO))
{
    shown_ = stderr_ >= 0 && isatty(stderr_) == 1;
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (stderr_ >= 0 && null >= 0)
        dup2(null, STDERR_FILENO);
    if (null >= 0)
        close(null);
}

Listening::~Listening()
{
    if (drawn_)
        dprintf(stderr_, "\r\033[K");
    if (stderr_ >= 0) {
        dup2(stderr_, STDERR_FILENO);
        close(stderr_);
    }
}

void Listening::operator()(std::int64_t done, std::int64_t expected)
{
    if (!shown_ || expected < kProgressFromSeconds * kDecodeRate)
        return;
    const auto percent = static_cast<int>(std::min<std::int64_t>(99, done * 100 / expected));
    dprintf(stderr_, "\rzorv-chart: listening to %s: %d%%", name_.c_str(), percent);
    drawn_ = true;
}

int makeCommand(int argc, char** argv)
{
    MakeArgs args;
    try {
        args = parseMake(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zorv-chart make: %s\nusage: %.*s\n(zorv-chart --help says more)\n", e.what(),
                     static_cast<int>(kMakeSynopsis.size()), kMakeSynopsis.data());
        return 2;
    }
    try {
        return runMake(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zorv-chart: %s: %s; nothing written\n", args.audio.c_str(), e.what());
        return 2;
    }
}

}  // namespace zorv::chartmake
