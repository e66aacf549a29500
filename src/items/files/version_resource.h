#pragma once
// Reading the version resource of an executable image straight from its
// bytes, for the common case of a plain 32-bit or 64-bit image with one
// version resource. Asking the system's version library costs two mappings of
// the whole file per file; this costs a few small reads. Whatever is not that
// common case is left to the library ("undecided").
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dp {

// Random access to the bytes of a file.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads exactly size bytes at offset; false when they are not all there.
    virtual bool Read(uint64_t offset, void* out, size_t size) = 0;
};

enum class VersionLookup {
    none,       // an image without a version resource
    found,      // the version block was read
    undecided,  // not such an image, or one the system library must judge
};

// Finds the version resource (type 16, name 1, one language) of an image.
// Images whose language resources live apart (an "MUI" resource), with more
// than one version resource, or with an unusual layout are undecided.
VersionLookup FindImageVersionResource(ByteReader& file, std::vector<uint8_t>& block);

// A node's value inside a 32-bit version block, found by a path such as
// "\StringFileInfo\040904b0\FileVersion" ("\" is the root); keys compare
// without regard to the case of ASCII letters. length is the node's value
// length as recorded (characters for text, bytes for binary values).
struct VersionValue {
    size_t offset = 0;
    size_t length = 0;
    size_t end = 0;  // end of the node that holds the value
};
bool QueryVersionValue(const std::vector<uint8_t>& block, const std::string& path,
                       VersionValue& value);

// The text value (UTF-16) up to its terminator, at most value.length
// characters and never past its node.
std::u16string VersionText(const std::vector<uint8_t>& block, const VersionValue& value);

// What the update decision needs from a version block.
struct VersionFacts {
    bool hasTranslation = false;  // "\VarFileInfo\Translation" exists
    std::u16string fileVersion;   // FileVersion of the last translation that has one
    bool hasFixed = false;
    uint32_t versionMS = 0;
    uint32_t versionLS = 0;
};
VersionFacts ReadVersionFacts(const std::vector<uint8_t>& block);

}  // namespace dp
