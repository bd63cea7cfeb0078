#pragma once
// The serial port numbers the program offers: 1 to 16. Anything else means port 1.
namespace corvane {

inline constexpr int kComPortCount = 16;

inline constexpr int ComPortNumber(int port) { return port >= 1 && port <= kComPortCount ? port : 1; }

}  // namespace corvane
