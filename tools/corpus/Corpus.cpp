#include "tools/corpus/Corpus.h"

#include <stdexcept>
#include <utility>

namespace zorv::corpus {

std::vector<Piece> corpus()
{
    using Score = songs::Song (*)();
    static constexpr std::pair<const char*, Score> kScores[] = {
        {"StillWater", stillWater},   {"Amberlight", amberlight},   {"HollowHarbour", hollowHarbour},
        {"HalfStep", halfStep},       {"TurningTide", turningTide}, {"LongRoad", longRoad},
        {"CopperSwing", copperSwing}, {"GlassWaltz", glassWaltz},   {"NeonRush", neonRush},
    };
    std::vector<Piece> pieces;
    for (const auto& [name, score] : kScores) {
        try {
            pieces.push_back({name, score(), 1});
        } catch (const std::exception& e) {
            throw std::runtime_error(std::string(name) + ": " + e.what());
        }
    }
    pieces.push_back({"LongRoadTwice", longRoad(), 2});
    return pieces;
}

}  // namespace zorv::corpus
