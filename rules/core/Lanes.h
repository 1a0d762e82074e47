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

// The lane a key judges; none for any key but the four cursor keys.
constexpr std::optional<Lane> laneOfKey(std::uint16_t key) noexcept
{
    switch (key) {
    case kKeyLeft: return Lane::left;
    case kKeyUp: return Lane::up;
    case kKeyRight: return Lane::right;
    case kKeyDown: return Lane::down;
    default: return std::nullopt;
    }
}

constexpr std::uint16_t keyOfLane(Lane lane) noexcept
{
    switch (lane) {
    case Lane::left: return kKeyLeft;
    case Lane::up: return kKeyUp;
    case Lane::down: return kKeyDown;
    case Lane::right: return kKeyRight;
    }
    return 0;
}

}  // namespace zorv
