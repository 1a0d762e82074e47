#pragma once
// A picture of a chart against its song: rows of 15 s, each the song's onset
// strength with the four lanes under it and every note drawn where its beat
// falls (chart time + kLeadMs), so a note off the music shows as a note away
// from a peak. Notes the checker objects to are marked.

#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include "tools/chart/make/Features.h"

namespace zorv::chartmake {

struct PreviewNote {
    enum class Mark {
        fine,
        problem,   // the checker finds a problem with it
        warning,   // the checker warns about it
        offMusic,  // no onset of the song within kOffMusicMs of its beat
    };
    int lane = 1;             // 1..4; other values are drawn in the nearest lane
    std::int32_t timeMs = 0;  // chart time
    Mark mark = Mark::fine;
};

// Farther than this from every onset, a note's beat is off the music.
inline constexpr double kOffMusicMs = 30;

struct PreviewData {
    std::string title;     // first line of the picture
    std::string subtitle;  // second line
    std::vector<PreviewNote> notes;
    const Features* features = nullptr;  // the song as heard; null draws lanes only
    std::vector<double> beats;           // ms, thin lines across the lanes
    std::vector<double> bars;            // ms, where bars begin: darker lines through the strength too
    double lengthMs = 0;                 // time the picture spans, at least to the last note
};

// Marks notes whose beat is farther than kOffMusicMs from every onset, unless
// already marked; returns how many it marked.
int markOffMusic(std::vector<PreviewNote>& notes, const Features& features);

// 1200 px wide, as tall as the rows need. Text needs a QGuiApplication.
QImage drawPreview(const PreviewData& data);

}  // namespace zorv::chartmake
