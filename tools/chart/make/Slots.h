#pragma once
// A songs folder for the game made from a chart of your own. The game's
// panel has two songs, each a chart of a fixed name in the folder it runs
// in; its launcher runs it in the folder ZORV_SONGS names.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::chartmake {

inline constexpr int kSlotCount = 2;
// The chart of slot 1 and of slot 2.
inline constexpr std::array<std::string_view, kSlotCount> kSlotCharts = {"Dodoroza.txt", "Virizivez.txt"};

// Where the game's own songs are: beside this program as installed
// (`bindir`/../share/zorv/songs for any prefix), then the configured install
// folder, then the source tree this program was built from. The first
// folder holding both slot charts; empty when there is none.
std::filesystem::path bundledSongsFolder();

// What putting a song into a slot of `folder` does, before anything is done.
struct SlotPlan {
    std::filesystem::path folder;
    std::filesystem::path chart;  // folder / kSlotCharts[slot - 1]
    std::string audioName;        // plain; the name the chart gives the audio
    bool copyAudio = true;        // false when the folder already holds it under that name
    std::filesystem::path audioFrom;
    // The bundled chart of the other slot and its audio, when that slot's
    // chart is missing; from, to.
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> companions;
    std::string note;  // for the user: a slot left empty and why; empty if none
};

// `slot` is 1 or 2. Chooses a plain name for the audio in the folder that no
// other file there holds, unless that file is the same audio; plans the
// other slot's bundled chart and audio where that chart is missing and the
// bundled songs are found (`bundled`, empty for none).
SlotPlan planSlot(const std::filesystem::path& folder, int slot, const std::filesystem::path& audio,
                  const std::filesystem::path& bundled);

// Creates the folder if need be, copies the audio and the companions, then
// writes the chart, each through a temporary file. Throws FileError; files
// this call created are removed again on failure, so the folder keeps what
// it held.
void fillSlot(const SlotPlan& plan, std::string_view chartText);

// The command that plays the folder, quoted for a POSIX shell.
std::string playCommand(const std::filesystem::path& folder);

}  // namespace zorv::chartmake
