#pragma once
// Lanes, the slots of their arrow pools, and the keys that judge them.

#include <cstdint>
#include <optional>

namespace zorv {

// 1 left, 2 up, 3 down, 4 right: the numbers a chart writes.
enum class Lane : std::uint8_t { left = 1, up = 2, down = 3, right = 4 };
inline constexpr int kLaneCount = 4;

// Each lane owns a pool of four arrow pictures. Slots are numbered 0..15 in
// pool order, left1..left4, up1..up4, down1..down4, right1..right4; a lane
// never holds more than four arrows in flight.
inline constexpr int kSlotsPerLane = 4;
inline constexpr int kSlotCount = kLaneCount * kSlotsPerLane;

// A chart's lane number is valid when it reads as 1..4.
constexpr bool isLane(std::int32_t number) noexcept { return number >= 1 && number <= kLaneCount; }
constexpr int laneIndex(Lane lane) noexcept { return static_cast<int>(lane) - 1; }
constexpr int firstSlotOf(Lane lane) noexcept { return laneIndex(lane) * kSlotsPerLane; }
// `slot` in 0..15.
constexpr Lane laneOfSlot(int slot) noexcept { return static_cast<Lane>(slot / kSlotsPerLane + 1); }

// 16-bit virtual key codes of the cursor keys. Note the order: the right
// key (39) comes before the down key (40), while lane 3 is down.
inline constexpr std::uint16_t kKeyLeft = 37;
inline constexpr std::uint16_t kKeyUp = 38;
inline constexpr std::uint16_t kKeyRight = 39;
inline constexpr std::uint16_t kKeyDown = 40;

// The key that judges each lane, in lane order: the one map between lanes
// and keys, read both ways below.
struct LaneKey {
    Lane lane;
    std::uint16_t key;
};
inline constexpr LaneKey kLaneKeys[kLaneCount] = {
    {Lane::left, kKeyLeft}, {Lane::up, kKeyUp}, {Lane::down, kKeyDown}, {Lane::right, kKeyRight}};

// The lane a key judges; none for any key but the four cursor keys.
constexpr std::optional<Lane> laneOfKey(std::uint16_t key) noexcept
{
    for (const LaneKey& row : kLaneKeys) {
        if (row.key == key)
            return row.lane;
    }
    return std::nullopt;
}

// The key that judges `lane`; 0 for a value that is no lane.
constexpr std::uint16_t keyOfLane(Lane lane) noexcept
{
    return isLane(static_cast<std::int32_t>(lane)) ? kLaneKeys[laneIndex(lane)].key : 0;
}
static_assert(laneIndex(kLaneKeys[0].lane) == 0 && laneIndex(kLaneKeys[1].lane) == 1 &&
                  laneIndex(kLaneKeys[2].lane) == 2 && laneIndex(kLaneKeys[3].lane) == 3,
              "keyOfLane reads the table by lane");

}  // namespace zorv
