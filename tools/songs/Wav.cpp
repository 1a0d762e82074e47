#include "tools/songs/Wav.h"

#include <fstream>
#include <stdexcept>

#include "tools/songs/Score.h"

namespace zorv::songs {

void writeWav(const std::string& path, const std::vector<std::int16_t>& interleaved)
{
    std::ofstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    const auto put32 = [&file](std::uint32_t v) {
        const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
        file.write(b, 4);
    };
    const auto put16 = [&file](std::uint16_t v) {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
        file.write(b, 2);
    };
    const auto dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
    file.write("RIFF", 4);
    put32(36 + dataBytes);
    file.write("WAVEfmt ", 8);
    put32(16);
    put16(1);  // PCM
    put16(2);
    put32(kSampleRate);
    put32(kSampleRate * 4);
    put16(4);
    put16(16);
    file.write("data", 4);
    put32(dataBytes);
    for (const auto s : interleaved)
        put16(static_cast<std::uint16_t>(s));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace zorv::songs
