#include "tools/chart/check/ChartFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <system_error>

#include "audio/SdlMediaPlayer.h"

namespace zorv::chartcheck {

std::optional<ChartFile> readChartFile(const std::filesystem::path& path, std::string& error)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "it is a directory";
        return std::nullopt;
    }
    errno = 0;
    std::FILE* file = openChartFile(path.c_str());
    if (file == nullptr) {
        error = errno != 0 ? std::strerror(errno) : "not a regular file";
        return std::nullopt;
    }
    // Read once, whole: the table keeps neither the full length of a cut
    // token nor anything past the 600th, which the report needs too.
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "read error";
        return std::nullopt;
    }
    std::optional<ChartFile> result(std::in_place);
    readChart(result->chart, text);
    result->tokens = scanTokens(text);
    return result;
}

AudioInfo probeAudio(const std::filesystem::path& chartPath, const ChartTable& chart)
{
    AudioInfo audio;
    audio.name = chart[0].col2;
    if (audio.name.empty())
        return audio;
    std::error_code ec;
    std::filesystem::path path = chartPath.parent_path() / audio.name;
    if (const auto absolute = std::filesystem::absolute(path, ec); !ec)
        path = absolute.lexically_normal();
    audio.path = path.string();
    if (!std::filesystem::exists(path, ec)) {
        audio.status = AudioInfo::Status::missing;
        return audio;
    }

    setenv("SDL_AUDIODRIVER", "dummy", 0);  // a checker has no business with the speakers
    try {
        SdlMediaPlayer player;
        player.setFileName(audio.path);
        player.open();
        audio.lengthMs = player.length();
        audio.status = AudioInfo::Status::known;
    } catch (const std::exception& e) {
        // Without a device nothing can be said about the file; any other
        // refusal is the file's own, and the game would meet it too.
        audio.reason = e.what();
        const bool noDevice = audio.reason.find("no usable audio device") != std::string::npos;
        audio.status = noDevice ? AudioInfo::Status::lengthUnknown : AudioInfo::Status::unplayable;
    }
    return audio;
}

}  // namespace zorv::chartcheck
