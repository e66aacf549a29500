#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_system_win32.h"
#include "base/handles_win32.h"
#include "base/program_win32.h"
#include "base/system_text.h"
#include "base/version_library_win32.h"
#include "items/files/file_facts.h"
#include "items/files/update_rule.h"
#include "items/files/version_resource.h"

namespace dp {
namespace {

std::string ErrorText(const char* what, DWORD code) {
    char text[96];
    std::snprintf(text, sizeof text, "Error %s ErrCode=%i", what, static_cast<int>(code));
    return text;
}

std::atomic<bool> g_libraryOnly{false};

// Reads an open file at given offsets; the bytes of its head, read once
// beforehand, come from memory (a small image lies there whole).
class HandleReader : public ByteReader {
public:
    HandleReader(HANDLE file, const std::vector<uint8_t>& head) : file_(file), head_(head) {}
    bool Read(uint64_t offset, void* out, size_t size) override {
        if (offset <= head_.size() && size <= head_.size() - offset) {
            if (size) std::memcpy(out, head_.data() + offset, size);
            return true;
        }
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (size > 0xffffffffu) return false;
        return ReadFile(file_, out, static_cast<DWORD>(size), &read, &at) && read == size;
    }

private:
    HANDLE file_;
    const std::vector<uint8_t>& head_;
};

// How much of a file's beginning is read in one call: the headers of any
// image, and the whole of a small one.
constexpr DWORD kHeadBytes = 8192;

// Reads the version resource straight from the image. Returns false when the
// system library has to judge the file.
bool ReadVersionFromImage(HANDLE file, const std::vector<uint8_t>& head, FileFacts& facts,
                          std::string& versionText) {
    HandleReader reader(file, head);
    std::vector<uint8_t> block;
    switch (FindImageVersionResource(reader, block)) {
    case VersionLookup::none:
        facts.hasVersion = 0;
        return true;
    case VersionLookup::found: {
        const VersionFacts version = ReadVersionFacts(block);
        if (!version.hasTranslation) return false;  // the library reports the failed query
        versionText = ToSystemCodePage(version.fileVersion);
        if (version.hasFixed) {
            facts.versionMS = version.versionMS;
            facts.versionLS = version.versionLS;
        }
        facts.hasVersion = 1;
        return true;
    }
    case VersionLookup::undecided:
        break;
    }
    return false;
}

// Reads the version resource through the system's version library, when the
// file has one. 0 with errorText set when a step failed.
int ReadVersion(const std::string& path, FileFacts& facts, std::string& versionText,
                std::string& errorText, uint32_t& errorCode) {
    const FileVersionQuery version = QueryFileVersion(path);
    if (!version.ok) {
        errorText = ErrorText(version.failedStep, version.error);
        errorCode = version.error;
        return 0;
    }
    facts.hasVersion = version.hasVersion ? 1 : 0;
    if (!version.hasVersion) return 1;
    versionText = version.fileVersion;
    if (version.hasFixed) {
        facts.versionMS = version.versionMS;
        facts.versionLS = version.versionLS;
    }
    return 1;
}

// The last-write time of an open file and, where the system tells both in
// one call (from Windows Vista on), its attributes (else 0). False with the
// thread's error when the time cannot be read.
bool LastWriteTimeAndAttributes(HANDLE file, FILETIME& lastWrite, uint32_t& attributes) {
    using GetInformation = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    static const GetInformation getInformation =
        ProcAddress<GetInformation>(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx");
    attributes = 0;
    FILE_BASIC_INFO basic{};
    if (getInformation && getInformation(file, FileBasicInfo, &basic, sizeof basic)) {
        lastWrite.dwLowDateTime = static_cast<DWORD>(basic.LastWriteTime.QuadPart);
        lastWrite.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(basic.LastWriteTime.QuadPart) >> 32);
        attributes = basic.FileAttributes;
        return true;
    }
    return GetFileTime(file, nullptr, nullptr, &lastWrite) != FALSE;
}

// Reads the head of a newly opened file. False when it cannot be read.
bool ReadHead(HANDLE file, std::vector<uint8_t>& head) {
    head.resize(kHeadBytes);
    DWORD read = 0;
    if (!ReadFile(file, head.data(), kHeadBytes, &read, nullptr)) {
        head.clear();
        return false;
    }
    head.resize(read);
    return true;
}

// Only executable images (which begin with "MZ" or "ZM") and files packed by
// the LZ expander ("SZDD", "KWAJ") can carry a version resource; asking the
// version library about anything else is costly and always answers "none".
// A head that could not be read leaves the decision to the library.
bool MayHoldVersionResource(bool headRead, const std::vector<uint8_t>& head) {
    if (!headRead) return true;
    if (head.size() < 2) return false;
    const auto is = [&](const char* magic) { return head[0] == magic[0] && head[1] == magic[1]; };
    return is("MZ") || is("ZM") || is("SZ") || is("KW");
}

}  // namespace

int ReadFileFacts(const std::string& path, FileFacts& facts, FileFactTexts& texts,
                  std::string& errorText, std::shared_ptr<const HeldContent>* wholeFile) {
    facts = FileFacts{};
    texts = FileFactTexts{};
    if (wholeFile) wholeFile->reset();
    uint32_t openError = 0;
    UniqueFile file = OpenFileAt(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, openError);
    if (!file) {
        errorText = ErrorText("opening file", openError);
        texts.errorCode = openError;
        return 0;
    }
    std::vector<uint8_t> head;
    const bool headRead = ReadHead(file.get(), head);
    if (MayHoldVersionResource(headRead, head) &&
        (g_libraryOnly.load() || !ReadVersionFromImage(file.get(), head, facts, texts.versionText)) &&
        !ReadVersion(path, facts, texts.versionText, errorText, texts.errorCode))
        return 0;

    uint32_t attributes = 0;
    FILETIME lastWrite{};
    if (!LastWriteTimeAndAttributes(file.get(), lastWrite, attributes)) {
        texts.errorCode = GetLastError();
        errorText = ErrorText("GetFileTime", texts.errorCode);
        return 0;
    }
    facts.lastWriteTime = FileTimeValue(lastWrite);
    texts.dateText = FormatFileDate(facts.lastWriteTime);

    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE) {
        const DWORD error = GetLastError();
        if (error != NO_ERROR) {
            errorText = ErrorText("GetFileSize", error);
            texts.errorCode = error;
            return 0;
        }
    }
    const uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
    facts.size = size;
    texts.sizeText = FormatFileSize(size);
    facts.factsOk = 1;
    if (wholeFile && headRead && size == head.size())
        *wholeFile = std::make_shared<const HeldContent>(
            HeldContent{std::string(head.begin(), head.end()), facts.lastWriteTime, attributes});
    return 1;
}

bool ReadShownFacts(const std::string& path, FileFacts& facts, std::string& version, uint32_t& error,
                    std::shared_ptr<const HeldContent>* wholeFile) {
    FileFactTexts texts;
    std::string errorText;
    const bool read = ReadFileFacts(path, facts, texts, errorText, wholeFile) != 0;
    error = read ? 0 : texts.errorCode;
    version = read && facts.hasVersion ? std::move(texts.versionText) : std::string();
    return read;
}

void SetVersionLibraryOnly(bool libraryOnly) { g_libraryOnly = libraryOnly; }

bool FileExists(const std::string& path) { return PathExists(path); }

bool FileExists(const std::string& path, uint64_t& lastWriteTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool found = PathDataAt(path, data) == 0;
    lastWriteTime = FileTimeValue(data.ftLastWriteTime);
    return found;
}

}  // namespace dp
