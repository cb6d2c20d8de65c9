// Byte images of RIFF streams for the scanner's tests.
#include "riffbytes.h"

#include <string.h>

#include "../support/testsupport.h"

namespace rifftest {

Bytes MakeRiffRaw(const char* formType, unsigned long sizeField, const Bytes& body) {
    Bytes out = {'R', 'I', 'F', 'F'};
    for (int i = 0; i < 4; i++) out.push_back((unsigned char)(sizeField >> (8 * i)));
    out.insert(out.end(), formType, formType + 4);
    Append(&out, body);
    return out;
}

Bytes MakeRiff(const char* formType, size_t payloadSize, unsigned seed) {
    Bytes body = Pattern(payloadSize, seed);
    body.resize((payloadSize + 3) & ~(size_t)3, 0);
    return MakeRiffRaw(formType, (unsigned long)(payloadSize + 4), body);
}

Bytes Pattern(size_t size, unsigned seed) {
    Bytes out(size);
    unsigned state = seed * 2654435761u + 12345;
    for (size_t i = 0; i < size; i++) {
        state = state * 1103515245u + 12345;
        // Keep 'R' out of the pattern so that it plants no signature of its own.
        unsigned char value = (unsigned char)(state >> 16);
        out[i] = value == 'R' ? 'r' : value;
    }
    return out;
}

Bytes Text(const char* text) {
    return Bytes(text, text + strlen(text));
}

void Append(Bytes* to, const Bytes& more) {
    to->insert(to->end(), more.begin(), more.end());
}

std::map<std::string, Bytes> ReadFolder(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const std::string& name : testsupport::ListFolder(folder)) {
        Bytes bytes;
        testsupport::ReadFileBytes(folder + "\\" + name, &bytes);
        files[name] = bytes;
    }
    return files;
}

}  // namespace rifftest
