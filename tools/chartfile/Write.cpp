#include "tools/chartfile/Write.h"

namespace zorv::chartfile {

std::string chartText(std::string_view title, std::string_view audioName, std::span<const ChartNote> notes)
{
    std::string text;
    text.reserve(16 * (notes.size() + 2));
    text.append(title).append(" ").append(audioName).append("\n");
    for (const ChartNote& note : notes)
        text += std::to_string(note.lane) + " " + std::to_string(note.timeMs) + "\n";
    text += "0 0\n";
    return text;
}

}  // namespace zorv::chartfile
