// The assemblers as the pipeline calls them: a resource's bytes, already cut
// to what may be read, handed to the byte-level assemblers, with the images of
// a group looked up in the same source by their integer identifiers.
#include "assemble.h"

namespace {

bool FindSourceImage(void* context, uint16_t type, uint16_t id, ResourceSpan* image) {
    ResourceType imageType = IntegerResourceType(type);
    return FindSourceResource((const ResourceSource*)context, &imageType, MAKEINTRESOURCEA(id),
                              image);
}

size_t AssembleGroupFile(unsigned char* out, ResourceSpan group, const ResourceSource* source,
                         GroupKind kind) {
    ImageSource images = {FindSourceImage, (void*)source};
    return AssembleGroupBytes(out, group, kind, &images);
}

}  // namespace

size_t AssembleIconFile(unsigned char* out, ResourceSpan group, const ResourceSource* source) {
    return AssembleGroupFile(out, group, source, GROUP_ICON);
}

size_t AssembleCursorFile(unsigned char* out, ResourceSpan group, const ResourceSource* source) {
    return AssembleGroupFile(out, group, source, GROUP_CURSOR);
}

size_t AssembleBitmapFile(unsigned char* out, ResourceSpan bitmap, const ResourceSource* source) {
    PELNORE_UNUSED(source);
    return AssembleBitmapBytes(out, bitmap);
}
