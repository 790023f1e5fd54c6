// Decoder of LHA member data: -lh0- (stored) and -lh5-/-lh6-/-lh7-. Every count and length
// read from the stream is checked, so damaged input ends in an error, never in a read or a
// write out of bounds.
#pragma once

#include <cstdint>
#include <string>

#include "common/stream.h"
#include "encoder.h"
#include "method.h"

namespace archivers::lha {

// Decodes one member: `in` delivers its compressedSize bytes, `out` receives exactly
// originalSize bytes. On failure ok is false and *error says why.
CodingResult DecodeMember(const MethodTraits& traits, const ByteSource& in, std::uint64_t compressedSize,
                          std::uint64_t originalSize, const ByteSink& out, std::string* error);

}  // namespace archivers::lha
