#include "tools/chart/make/Slots.h"

#include <memory>
#include <algorithm>
#include <map>
#include <system_error>

#include "chart/Chart.h"
#include "tools/chartfile/AudioName.h"
#include "tools/chart/make/Files.h"

namespace fs = std::filesystem;

namespace zorv::chartmake {
namespace {

bool holdsBothCharts(const fs::path& folder)
{
    std::error_code error;
    for (std::string_view chart : kSlotCharts) {
        if (!fs::is_regular_file(folder / chart, error))
            return false;
    }
    return true;
}

// The audio a chart names in its first pair; empty when it cannot be read.
std::string audioNamedBy(const fs::path& chart)
{
    auto table = std::make_unique<ChartTable>();
    std::int32_t next = 0;
    if (!loadChart(*table, next, chart.c_str()))
        return {};
    return (*table)[0].col2;
}

std::string numbered(const std::string& name, int n)
{
    if (n == 1)
        return name;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    return chartfile::plainAudioName(stem + "-" + std::to_string(n) + extension);
}

// Audio names the companions will take, each with the file it comes from.
using Taken = std::map<std::string, fs::path>;

void planCompanions(SlotPlan& plan, int slot, const fs::path& bundled, Taken& taken)
{
    const std::string_view otherChart = kSlotCharts[static_cast<std::size_t>(kSlotCount - slot)];
    std::error_code error;
    if (fs::exists(plan.folder / otherChart, error))
        return;
    const std::string empty = "slot " + std::to_string(kSlotCount + 1 - slot) + " (" + std::string(otherChart) +
                              ") stays empty, so the game cannot play that song: ";
    if (bundled.empty()) {
        plan.note = empty + "the game's own songs were not found to copy from";
        return;
    }
    const std::string audio = audioNamedBy(bundled / otherChart);
    if (audio.empty() || !fs::is_regular_file(bundled / audio, error)) {
        plan.note = empty + "the game's own " + std::string(otherChart) + " or its audio cannot be read";
        return;
    }
    plan.companions.emplace_back(bundled / otherChart, plan.folder / otherChart);
    if (!(fs::exists(plan.folder / audio, error) && sameContent(plan.folder / audio, bundled / audio)))
        plan.companions.emplace_back(bundled / audio, plan.folder / audio);
    taken.emplace(audio, bundled / audio);
}

bool quoteless(const std::string& text)
{
    for (char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::string_view("/._-+,:@%").find(c) != std::string_view::npos;
        if (!plain)
            return false;
    }
    return !text.empty();
}

}  // namespace

fs::path bundledSongsFolder()
{
    std::error_code error;
    std::vector<fs::path> places;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error)
        places.push_back(self.parent_path() / ZORV_SONGS_FROM_BINDIR);
    places.emplace_back(ZORV_INSTALLED_SONGS);
    places.emplace_back(ZORV_SOURCE_SONGS);
    for (const fs::path& place : places) {
        if (holdsBothCharts(place))
            return place.lexically_normal();
    }
    return {};
}

SlotPlan planSlot(const fs::path& folder, int slot, const fs::path& audio, const fs::path& bundled)
{
    SlotPlan plan;
    plan.folder = folder;
    plan.chart = folder / kSlotCharts[static_cast<std::size_t>(slot - 1)];
    plan.audioFrom = audio;
    Taken taken;
    planCompanions(plan, slot, bundled, taken);

    const std::string base = chartfile::plainAudioName(audio.filename().string());
    std::error_code error;
    for (int n = 1;; ++n) {
        plan.audioName = numbered(base, n);
        // A chart's own name would have the chart written over the audio.
        if (std::find(kSlotCharts.begin(), kSlotCharts.end(), plan.audioName) != kSlotCharts.end())
            continue;
        // The other slot's song under the same name: the same audio or not.
        if (const auto companion = taken.find(plan.audioName); companion != taken.end()) {
            if (!sameContent(companion->second, audio))
                continue;
            plan.copyAudio = false;
            break;
        }
        const fs::path target = folder / plan.audioName;
        if (!fs::exists(target, error))
            break;
        if (fs::equivalent(target, audio, error) || sameContent(target, audio)) {
            plan.copyAudio = false;
            break;
        }
    }
    return plan;
}

void fillSlot(const SlotPlan& plan, std::string_view chartText)
{
    std::error_code error;
    const bool newFolder = !fs::exists(plan.folder, error);
    fs::create_directories(plan.folder, error);
    if (error)
        throw FileError("cannot create " + plan.folder.string() + ": " + error.message());
    std::vector<fs::path> created;
    auto copy = [&](const fs::path& from, const fs::path& to) {
        const bool existed = fs::exists(to, error);
        copyFileAtomically(from, to);
        if (!existed)
            created.push_back(to);
    };
    try {
        if (plan.copyAudio)
            copy(plan.audioFrom, plan.folder / plan.audioName);
        for (const auto& [from, to] : plan.companions)
            copy(from, to);
        writeFileAtomically(plan.chart, chartText);
    } catch (...) {
        for (const fs::path& path : created)
            fs::remove(path, error);
        if (newFolder)
            fs::remove(plan.folder, error);
        throw;
    }
}

std::string playCommand(const fs::path& folder)
{
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    const std::string path = (error ? folder : absolute.lexically_normal()).string();
    if (quoteless(path))
        return "ZORV_SONGS=" + path + " zorv";
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return "ZORV_SONGS=" + quoted + "' zorv";
}

}  // namespace zorv::chartmake
