#pragma once

#include <cstdint>

// The window messages, virtual-key codes and command ids in which the
// program's input rules are written. Qt events are translated into these at
// the widget boundary so each rule can be driven exactly as stated.
namespace winmsg {

using WParam = std::uint32_t;
using LParam = std::uint32_t;

inline constexpr std::uint32_t kDestroy = 0x0002;
inline constexpr std::uint32_t kNcActivate = 0x0086;
inline constexpr std::uint32_t kKeyDown = 0x0100;
inline constexpr std::uint32_t kInitDialog = 0x0110;
inline constexpr std::uint32_t kCommand = 0x0111;
inline constexpr std::uint32_t kMouseMove = 0x0200;
inline constexpr std::uint32_t kLButtonDown = 0x0201;
inline constexpr std::uint32_t kLButtonUp = 0x0202;
inline constexpr std::uint32_t kRButtonDown = 0x0204;
inline constexpr std::uint32_t kMouseWheel = 0x020A;

inline constexpr std::uint32_t kVkPrior = 0x21;
inline constexpr std::uint32_t kVkNext = 0x22;
inline constexpr std::uint32_t kVkEnd = 0x23;
inline constexpr std::uint32_t kVkHome = 0x24;
inline constexpr std::uint32_t kVkLeft = 0x25;
inline constexpr std::uint32_t kVkUp = 0x26;
inline constexpr std::uint32_t kVkRight = 0x27;
inline constexpr std::uint32_t kVkDown = 0x28;

constexpr std::uint32_t lowWord(std::uint32_t v) { return v & 0xFFFFu; }
constexpr std::uint32_t highWord(std::uint32_t v) { return (v >> 16) & 0xFFFFu; }
constexpr std::uint32_t makeLong(std::uint32_t low, std::uint32_t high) { return (low & 0xFFFFu) | ((high & 0xFFFFu) << 16); }

} // namespace winmsg
