#pragma once

#include <cstdint>

struct Model;

// Command ids of the menu items.
namespace command {
inline constexpr std::uint16_t kSalir = 1047;
inline constexpr std::uint16_t kAutor = 1048;
inline constexpr std::uint16_t kFotocopia = 1070;
inline constexpr std::uint16_t kCeldasCuadradas = 1077;
inline constexpr std::uint16_t kCeldasRedondas = 1078;
inline constexpr std::uint16_t kTest5Respuestas = 1079;
inline constexpr std::uint16_t kTestLogicaEspanol = 1080;
inline constexpr std::uint16_t kLetraMayuscula = 1081;
inline constexpr std::uint16_t kLetraMinuscula = 1082;
inline constexpr std::uint16_t kResetea = 1083;
inline constexpr std::uint16_t kTestBooleanLogic = 1084;
inline constexpr std::uint16_t kRelleno = 1085;
inline constexpr std::uint16_t kEscritura = 1086;
inline constexpr std::uint16_t kGrabarTest = 1087;
inline constexpr std::uint16_t kLeerTest = 1088;
inline constexpr std::uint16_t kCorregirTest = 1089;
inline constexpr std::uint16_t kAcierto = 1090;
inline constexpr std::uint16_t kFallo = 1091;
inline constexpr std::uint16_t kImprimir = 1092;
} // namespace command

// Runs the action of a command id; ids without an action do nothing.
void dispatchCommand(Model& m, std::uint16_t id);
