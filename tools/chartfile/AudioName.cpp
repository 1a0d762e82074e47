#include "tools/chartfile/AudioName.h"

#include "chart/Chart.h"
#include "charting/Charting.h"

namespace zorv::chartfile {
namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string plainAudioName(std::string_view fileName)
{
    std::string name;
    for (char c : fileName) {
        const auto byte = static_cast<unsigned char>(c);
        name += isChartSpace(byte) || byte < 0x20 || byte == 0x7f ? '-' : c;
    }
    if (name.empty() || !isLetter(name.front()))
        name = "song-" + name;
    const auto most = static_cast<std::size_t>(charting::kMaxTokenChars);
    if (name.size() > most) {
        const std::size_t dot = name.rfind('.');
        const std::string extension = dot != std::string::npos && name.size() - dot <= 8 ? name.substr(dot) : "";
        // Cut before a character, not inside one (UTF-8 continuation bytes are 10xxxxxx).
        std::size_t keep = most - extension.size();
        while (keep > 1 && (static_cast<unsigned char>(name[keep]) & 0xc0) == 0x80)
            --keep;
        name = name.substr(0, keep) + extension;
    }
    return name;
}

std::string chartTitle(std::string_view audioName)
{
    const std::size_t dot = audioName.rfind('.');
    return plainAudioName(dot == std::string_view::npos || dot == 0 ? audioName : audioName.substr(0, dot));
}

}  // namespace zorv::chartfile
