#pragma once

namespace BusinessLogic::ControlCharacters {

// The four ASCII control characters of the pump protocol.
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
// Sent in place of the check character by the unused-LRC test mode.
constexpr char UnusedLrc = 'U';
// XOR mask of the invalid-LRC test mode.
constexpr unsigned char InvalidLrcMask = 0x55;

} // namespace BusinessLogic::ControlCharacters
