#pragma once

#include "options/OptionStore.h"

namespace brivox {

// Record flags of the settings file format.
namespace option_flags {
constexpr uint8_t kContinuation = 0x80; // a continuation byte follows
constexpr uint8_t kNameNumber = 0x40;   // the name is a 2-byte number
constexpr uint8_t kNumeric = 0x20;      // numeric value, sub-kind in bits 1-0
constexpr uint8_t kText = 0x08;         // text value (else bytes)
constexpr uint8_t kLongLength = 0x04;   // 4-byte length field (else 1 byte)
constexpr uint8_t kSubKindMask = 0x03;
constexpr uint8_t kSubKindInt32 = 3;
constexpr uint8_t kSubKindInvalid = 2;
} // namespace option_flags

constexpr size_t kMaxStoredNameLength = 255;
constexpr int kMaxContinuationBytes = 255;

// Appends one record per entry; false (and nothing appended) when a name is empty.
bool WriteOptionRecords(const COptionStore::Entries& entries, CByteBuffer& image);

// Applies every record of the image to the store with the setter of the record's own kind.
COptionLoadReport ReadOptionRecords(const CByteBuffer& image, COptionStore& store,
                                    OptionTextEnd textEnd = OptionTextEnd::FirstZero);

} // namespace brivox
