#pragma once
// The audio file name a chart carries: one token, starting with a letter
// (charting::isPlainAudioName).

#include <string>
#include <string_view>

namespace zorv::chartfile {

// An audio file name a chart can carry made from any file name: white space
// and control characters become '-', a name not starting with a letter gets
// "song-" in front, and a name too long for a chart token is shortened
// before its extension. Never empty.
std::string plainAudioName(std::string_view fileName);

// The title every tool gives a chart it makes for an audio file: the audio's
// name without its extension (a leading dot is no extension), made plain as
// above.
std::string chartTitle(std::string_view audioName);

}  // namespace zorv::chartfile
