// The data archive: a zip file read through minizip, its entries optionally protected by
// the traditional zip encryption with one password.
//
// minizip finds an entry and checks its local header; this class then reads the entry's
// stored bytes itself, straight into the buffer they end in, decrypts them in place,
// inflates deflated entries with zlib and checks the CRC-32. An entry that cannot be read
// that way (other compression methods, strong encryption, a wrong password, a bad CRC, a
// damaged archive) is reported as not read, with one log line. An entry's buffer grows as
// its data inflate, so a size claim larger than the data costs nothing.
//
// minizip reads the file through ZipArchiveStream, which keeps the central directory in
// memory and reads the file with plain reads into memory of its own (no mapping): a file
// cut short or replaced while open gives failed reads or the old bytes, never a fault.
//
// Not thread-safe: the owner serialises every call except ReadLocatedEntry, which reads
// what LocateEntry found through a file handle of its own and may run outside the owner's
// lock, on many threads at once, also while the archive is closed or opened again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/FileSystem.h"

namespace pf {

class ReadOnlyFile;
class ZipArchiveStream;

// The traditional zip cipher's three keys, as the archive's password leaves them.
struct ZipKeys {
    uint32_t k0 = 0x12345678u, k1 = 0x23456789u, k2 = 0x34567890u;
};

// Where an entry's stored bytes lie and what they should give, found under the archive
// lock; reading them needs no lock.
struct ZipLocatedEntry {
    std::string name;  // the normalised name it was found under (for log lines)
    ZipKeys keys;      // for the archive's password at read time
    std::shared_ptr<const ReadOnlyFile> file;  // the archive file, held open while read
    uint64_t offset = 0;        // of the stored bytes (encryption header included) in it
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

    // Reads the entry of a normalised name whole (LocateEntry + ReadLocatedEntry).
    bool ReadFile(FileBuffer& buffer, const std::string& name);
    // The uncompressed size of a readable entry (method supported, password right).
    bool GetFileSize(const std::string& name, int& size);

    // Finds an entry and where its stored bytes begin; false when absent or not readable
    // by this class.
    bool LocateEntry(const std::string& name, ZipLocatedEntry& entry);
    // Reads a located entry's stored bytes, decrypts them in place and inflates them
    // (a stored entry is read straight into `buffer`), and checks the CRC; fills `buffer`
    // (content + 0). Thread-safe.
    static bool ReadLocatedEntry(const ZipLocatedEntry& entry, FileBuffer& buffer);

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
        uint32_t headerSpan;  // about what the local header with its name and extra field takes
    };

    std::unique_ptr<ZipArchiveStream> stream_;  // what the handle reads from
    void* handle_ = nullptr;                     // unzFile
    std::string password_;
    ZipKeys keys_;  // the password's
    std::unordered_map<std::string, IndexEntry> index_;
};

}  // namespace pf
