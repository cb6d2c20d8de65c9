// Byte images of RIFF streams for the scanner's tests, and a reading of the
// output folder into a map from file name to bytes.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "../support/testsupport.h"

namespace rifftest {

using testsupport::Bytes;

// "RIFF", sizeField (little-endian), the form type, then body as given.
Bytes MakeRiffRaw(const char* formType, unsigned long sizeField, const Bytes& body);
// A well-formed stream: size field 4 + payload size, padded with zeros to a
// multiple of four; the payload is a pattern from seed.
Bytes MakeRiff(const char* formType, size_t payloadSize, unsigned seed);
Bytes Pattern(size_t size, unsigned seed);
Bytes Text(const char* text);
void Append(Bytes* to, const Bytes& more);

// Every file of the folder with its bytes (an empty map when it is missing).
std::map<std::string, Bytes> ReadFolder(const std::string& folder);

}  // namespace rifftest
