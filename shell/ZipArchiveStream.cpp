#include "shell/ZipArchiveStream.h"

#include <algorithm>
#include <cstring>

namespace pf {

namespace {

// How much a window refill reads: by default a few directory records or a small entry;
// told the size of the entry about to be read, as much of it as fits between the bounds.
constexpr size_t kDefaultFill = 4096;
constexpr size_t kMinFill = 512;
constexpr size_t kMaxFill = 64 << 10;

ZipArchiveStream* Self(voidpf opaque) { return static_cast<ZipArchiveStream*>(opaque); }

voidpf ZCALLBACK OpenStream(voidpf opaque, const void*, int mode) {
    // Only reading: minizip's reader never asks for more.
    return (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ ? opaque : nullptr;
}

uLong ZCALLBACK ReadStream(voidpf opaque, voidpf, void* buffer, uLong size) {
    return static_cast<uLong>(Self(opaque)->Read(buffer, static_cast<size_t>(size)));
}

uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellStream(voidpf opaque, voidpf) { return Self(opaque)->Tell(); }

long ZCALLBACK SeekStream(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
    return Self(opaque)->Seek(offset, origin) ? 0 : -1;
}

int ZCALLBACK CloseStream(voidpf, voidpf) { return 0; }

int ZCALLBACK StreamError(voidpf, voidpf) { return 0; }

}  // namespace

bool ZipArchiveStream::Open(const std::string& osPath) {
    position_ = 0;
    lowestRead_ = UINT64_MAX;
    directoryBegin_ = 0;
    directory_.clear();
    windowBegin_ = 0;
    windowSize_ = 0;
    fillSize_ = kDefaultFill;
    window_.resize(kMaxFill);
    // A new file object: readers still holding the old one finish with it.
    file_ = std::make_shared<ReadOnlyFile>();
    return file_->Open(osPath);
}

zlib_filefunc64_def ZipArchiveStream::Functions() {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenStream;
    functions.zread_file = ReadStream;
    functions.zwrite_file = WriteStream;
    functions.ztell64_file = TellStream;
    functions.zseek64_file = SeekStream;
    functions.zclose_file = CloseStream;
    functions.zerror_file = StreamError;
    functions.opaque = this;
    return functions;
}

void ZipArchiveStream::KeepDirectory(uint64_t maxBytes) {
    if (lowestRead_ >= Size() || Size() - lowestRead_ > maxBytes) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(Size() - lowestRead_));
    bytes.resize(file_->ReadAt(lowestRead_, bytes.data(), bytes.size()));
    directoryBegin_ = lowestRead_;
    directory_.swap(bytes);
}

void ZipArchiveStream::ExpectRead(uint64_t bytes) {
    fillSize_ = static_cast<size_t>(std::max<uint64_t>(kMinFill, std::min<uint64_t>(bytes, kMaxFill)));
}

const uint8_t* ZipArchiveStream::Held(size_t n) const {
    if (position_ >= directoryBegin_ && position_ - directoryBegin_ <= directory_.size() &&
        n <= directory_.size() - (position_ - directoryBegin_)) {
        return directory_.data() + (position_ - directoryBegin_);
    }
    if (position_ >= windowBegin_ && position_ - windowBegin_ <= windowSize_ &&
        n <= windowSize_ - (position_ - windowBegin_)) {
        return window_.data() + (position_ - windowBegin_);
    }
    return nullptr;
}

size_t ZipArchiveStream::CopyFrom(uint64_t begin, const uint8_t* bytes, size_t size, uint8_t* out, size_t n) const {
    if (position_ < begin || position_ - begin >= size) return 0;
    const size_t at = static_cast<size_t>(position_ - begin);
    const size_t count = std::min(n, size - at);
    std::memcpy(out, bytes + at, count);
    return count;
}

size_t ZipArchiveStream::Read(void* buffer, size_t n) {
    auto* out = static_cast<uint8_t*>(buffer);
    if (n == 0) return 0;
    // minizip reads each header field on its own: most reads lie wholly in memory.
    if (const uint8_t* held = Held(n)) {
        if (n == 1) {
            *out = *held;  // one header byte: most calls (no call of memcpy)
        } else {
            std::memcpy(out, held, n);
        }
        position_ += n;
        return n;
    }
    return ReadMore(out, n);
}

size_t ZipArchiveStream::ReadMore(uint8_t* out, size_t n) {
    lowestRead_ = std::min(lowestRead_, position_);
    size_t done = 0;
    while (done < n) {
        size_t count = CopyFrom(directoryBegin_, directory_.data(), directory_.size(), out + done, n - done);
        if (count == 0) count = CopyFrom(windowBegin_, window_.data(), windowSize_, out + done, n - done);
        if (count == 0 && n - done >= fillSize_) {
            // A large read goes straight into the caller's memory.
            count = file_->ReadAt(position_, out + done, n - done);
            done += count;
            position_ += count;
            break;
        }
        if (count == 0) {
            windowBegin_ = position_;
            windowSize_ = file_->ReadAt(position_, window_.data(), fillSize_);
            if (windowSize_ == 0) break;
            continue;
        }
        done += count;
        position_ += count;
    }
    return done;
}

bool ZipArchiveStream::Seek(uint64_t offset, int origin) {
    uint64_t base;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
        case ZLIB_FILEFUNC_SEEK_CUR: base = position_; break;
        case ZLIB_FILEFUNC_SEEK_END: base = Size(); break;
        default: return false;
    }
    if (offset > UINT64_MAX - base) return false;
    position_ = base + offset;
    return true;
}

}  // namespace pf
