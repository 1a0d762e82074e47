#pragma once
// Audio files written byte by byte, for tests that need a file a player
// opens without any encoder.

#include <cstdint>
#include <string>
#include <vector>

namespace zorv::test {

// `ms` of 16-bit mono silence at 8 kHz as a WAV file: a 44-byte header, then
// 16 bytes of samples per ms.
inline std::string silentWav(std::uint32_t ms)
{
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xff);
        return s;
    };
    const std::uint32_t dataBytes = ms * 16;
    return "RIFF" + le(36 + dataBytes, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) + le(16000, 4) +
           le(2, 2) + le(16, 2) + "data" + le(dataBytes, 4) + std::string(dataBytes, '\0');
}

// 16-bit PCM samples, interleaved when `channels` > 1, as a WAV file.
inline std::string pcmWav(const std::vector<std::int16_t>& samples, std::uint32_t rate, std::uint16_t channels)
{
    auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xff);
        return s;
    };
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string wav = "RIFF" + le(36 + dataBytes, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) +
                      le(rate, 4) + le(rate * channels * 2, 4) + le(channels * 2u, 2) + le(16, 2) + "data" +
                      le(dataBytes, 4);
    for (std::int16_t sample : samples)
        wav += le(static_cast<std::uint16_t>(sample), 2);
    return wav;
}

}  // namespace zorv::test
