#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// Framing of a MODBUS ADU (address, function, data) on a serial line.
std::vector<uint8_t> RtuFrameOf(const std::vector<uint8_t>& adu);
std::vector<uint8_t> AsciiFrameOf(const std::vector<uint8_t>& adu);

// The ADU of a whole frame; false when the frame is malformed or its CRC or LRC is wrong.
bool AduOfRtuFrame(const std::vector<uint8_t>& frame, std::vector<uint8_t>& adu);
bool AduOfAsciiFrame(const std::vector<uint8_t>& frame, std::vector<uint8_t>& adu);

// How long the RTU reply that begins with these bytes is, once they tell; 0 until then, and for
// a function whose replies this program does not know.
size_t RtuReplyLength(const std::vector<uint8_t>& received);
// Whether RtuReplyLength knows the replies of this function (else a reply ends where its CRC
// checks out).
bool RtuReplyLengthKnown(uint8_t function);
// Where the first CRC that checks out ends an RTU frame of at least shortest bytes at the start
// of the bytes; 0 while none does. For frames whose length their function does not tell.
size_t RtuFrameEndByCrc(const std::vector<uint8_t>& bytes, size_t shortest);
// Where the objects of a read device identification reply (slave, 2B, 0E, read code, conformity,
// more follows, next object id, object count, then id, length, value each) end; 0 until the
// header of every object is there.
size_t ModbusDeviceIdentificationEnd(const std::vector<uint8_t>& bytes);
// Whether an ASCII frame has ended (CR LF after the ":").
bool AsciiFrameEnded(const std::vector<uint8_t>& received);

// Lines that say what a reply ADU carries: the exception code, the coils or registers read, or
// what a write echoes. quantity is the request's count of coils or registers.
std::vector<std::string> DescribeModbusReply(const std::vector<uint8_t>& adu, int quantity);

} // namespace brivox
