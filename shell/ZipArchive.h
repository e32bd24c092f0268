// The data archive: a zip file read through minizip, its entries optionally protected by
// the traditional zip encryption with one password.
//
// Entries are opened raw through minizip; this class decrypts them, inflates deflated
// entries with zlib, copies stored ones and checks the CRC-32. An entry that cannot be
// read that way (other compression methods, strong encryption, a wrong password, a bad
// CRC, a damaged archive) is reported as not read, with one log line. An entry's buffer
// grows as its data inflate, so a size claim larger than the data costs nothing.
//
// minizip reads the file through ZipArchiveStream, which keeps the central directory in
// memory and reads the file with plain reads into memory of its own (no mapping): a file
// cut short or replaced while open gives failed reads or the old bytes, never a fault.
//
// Not thread-safe: the owner serialises every call except DecodeEntry, which works only
// on what ReadStoredEntry returned and may run outside the owner's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/FileSystem.h"

namespace pf {

class ZipArchiveStream;

// The traditional zip cipher's three keys, as the archive's password leaves them.
struct ZipKeys {
    uint32_t k0 = 0x12345678u, k1 = 0x23456789u, k2 = 0x34567890u;
};

// An entry as the archive stores it, read under the archive lock.
struct ZipStoredEntry {
    std::string name;           // the normalised name it was found under (for log lines)
    ZipKeys keys;               // for the archive's password at read time
    std::vector<uint8_t> data;  // the stored bytes, encryption header included
    uint32_t flags = 0;         // general purpose bit flags
    uint32_t method = 0;        // 0 stored, 8 deflated
    uint32_t crc = 0;
    uint32_t dosDateTime = 0;   // DOS date << 16 | DOS time
    uint64_t size = 0;          // uncompressed size
    uint64_t storedSize = 0;    // compressed size (with the encryption header)
};

class ZipArchive {
public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Opens the archive at an OS path and indexes its entries; a password of up to 63
    // characters (null or "" for none). Closes an archive open before. Logs and answers
    // false when the file is not a readable zip archive.
    bool Open(const std::string& osPath, const char* password);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    size_t EntryCount() const { return index_.size(); }
    // The normalised names of all entries, in no particular order.
    std::vector<std::string> EntryNames() const;

    // Reads the entry of a normalised name whole (ReadStoredEntry + DecodeEntry).
    bool ReadFile(FileBuffer& buffer, const std::string& name);
    // The uncompressed size of a readable entry (method supported, password right).
    bool GetFileSize(const std::string& name, int& size);

    // Reads an entry's stored bytes; false when absent or not readable by this class.
    bool ReadStoredEntry(const std::string& name, ZipStoredEntry& entry);
    // Decrypts (in place: the entry's data are used up), inflates or copies, and checks
    // the CRC; fills `buffer` (content + 0).
    static bool DecodeEntry(ZipStoredEntry& entry, FileBuffer& buffer);

private:
    // Where an entry's record lies in the central directory, and what it says, so a lookup
    // need not read the record twice.
    struct IndexEntry {
        uint64_t directoryOffset;
        uint64_t fileNumber;
        uint64_t storedSize;  // compressed size (with the encryption header)
        uint64_t size;        // uncompressed size
        uint32_t crc;
        uint32_t dosDateTime;
        uint32_t flags;
        uint32_t method;
        uint32_t localSpan;   // the local header, name and data: what reading it takes
    };
    // Makes the named entry current and opens it raw; fills everything of `entry` but the
    // data. On true the entry is open and the caller closes it.
    bool Locate(const std::string& name, ZipStoredEntry& entry);

    std::unique_ptr<ZipArchiveStream> stream_;  // what the handle reads from
    void* handle_ = nullptr;                     // unzFile
    std::string password_;
    ZipKeys keys_;  // the password's
    std::unordered_map<std::string, IndexEntry> index_;
};

}  // namespace pf
