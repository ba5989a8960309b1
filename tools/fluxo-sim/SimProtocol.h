#pragma once

#include <cstdint>
#include <string>

// Wire format of the pump line: STX, two-digit address, mnemonic, zero-filled value, ETX and a
// one-byte LRC (XOR of every byte from STX through ETX). Answers are ACK, NAK or a data frame
// STX, text, ETX, LRC without address or mnemonic.
namespace fluxosim {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;

// XOR of all bytes; 0x00 for an empty string.
std::uint8_t lrc(const std::string &bytes);

// STX, text, ETX and the LRC of STX..ETX.
std::string dataFrame(const std::string &text);

// A command frame as the program sends it: STX, address (two digits), body, ETX, LRC.
std::string commandFrame(int address, const std::string &body);

// Decimal digits of value, zero-filled on the left to width (wider values in full).
std::string zeroFilled(long long value, int width);

// Bytes made readable for a log: <STX>, <ETX>, <ACK>, <NAK>, <NUL>, <xx> hex for other bytes
// outside printable ASCII and for '<' itself.
std::string escaped(const std::string &bytes);

} // namespace fluxosim
