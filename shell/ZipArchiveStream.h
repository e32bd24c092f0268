// The archive file as minizip reads it, through minizip's I/O callbacks.
//
// minizip reads a few bytes at a time (every header field on its own) and seeks before
// most reads; on a plain FILE* that costs system calls per entry. This stream answers
// small reads from a window of the file it keeps in memory, and once the archive is
// open it keeps the central directory in memory (KeepDirectory), so indexing the
// entries and finding one again cost no system call; reading a small entry costs one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <minizip/ioapi.h>

#include "shell/platform/ReadOnlyFile.h"

namespace pf {

class ZipArchiveStream {
public:
    // Opens a regular file; false when it is missing or not a regular file.
    bool Open(const std::string& osPath);
    uint64_t Size() const { return file_->Size(); }
    // The file itself, for reads at known offsets on any thread (outside minizip); it
    // stays open for as long as a holder keeps it, also once this stream is gone.
    std::shared_ptr<const ReadOnlyFile> File() const { return file_; }
    // Callbacks for unzOpen2_64 reading this stream (which must outlive the unzFile).
    zlib_filefunc64_def Functions();
    // Keeps the bytes from the lowest offset read so far to the end of the file in memory.
    // Called right after minizip opened the archive, when it has read only the tail of
    // the file (it searches up to the last 64 KB for the end records) and the first
    // directory header: that span is the directory, read once here. Nothing is kept when
    // it is larger than maxBytes (a damaged end record).
    void KeepDirectory(uint64_t maxBytes);

    // The next read outside what is held in memory will want about this many bytes from
    // where it starts: read that much at once (within bounds).
    void ExpectRead(uint64_t bytes);

    // The callbacks' work: reads at the current position, moves it.
    size_t Read(void* out, size_t n);
    bool Seek(uint64_t offset, int origin);
    uint64_t Tell() const { return position_; }

private:
    // Read's way when the bytes are not all in memory: copies what is, reads the rest.
    size_t ReadMore(uint8_t* out, size_t n);
    // Where the bytes [position, position + n) lie in memory, or null when not all do.
    const uint8_t* Held(size_t n) const;
    // Copies up to n bytes at the current position from a span of the file held in memory
    // ([begin, begin + size)); 0 when the position is outside it.
    size_t CopyFrom(uint64_t begin, const uint8_t* bytes, size_t size, uint8_t* out, size_t n) const;

    std::shared_ptr<ReadOnlyFile> file_ = std::make_shared<ReadOnlyFile>();
    uint64_t position_ = 0;
    uint64_t lowestRead_ = UINT64_MAX;
    uint64_t directoryBegin_ = 0;
    std::vector<uint8_t> directory_;  // [directoryBegin_, end of file) once kept
    uint64_t windowBegin_ = 0;
    size_t windowSize_ = 0;
    size_t fillSize_ = 0;  // how much a refill reads
    std::vector<uint8_t> window_;
};

}  // namespace pf
