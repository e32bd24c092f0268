#include "shell/ZipArchive.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <minizip/unzip.h>
#include <zlib.h>

#include "shell/foundation/Log.h"
#include "shell/platform/ReadOnlyFile.h"
#include "shell/ZipArchiveStream.h"

namespace pf {

namespace {

constexpr uint32_t kFlagEncrypted = 1u << 0;
constexpr uint32_t kFlagDataDescriptor = 1u << 3;
constexpr uint32_t kFlagStrongEncryption = 1u << 6;
constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodDeflated = Z_DEFLATED;
constexpr size_t kEncryptionHeaderSize = 12;
// Deflate cannot expand data by more than about 1032:1; a larger claim is a damaged entry.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr size_t kMaxNameLength = 65535;
// The central directory kept in memory: about 100 bytes an entry, so this is far beyond
// any real archive's; a larger span comes from a damaged end record and is read as needed.
constexpr uint64_t kMaxDirectoryInMemory = 64u << 20;
// What a deflated entry's buffer starts with beyond its stored size; it grows from there
// as the data inflate, up to the size the entry claims.
constexpr uint64_t kInflateHeadroom = 64u << 10;

unzFile Handle(void* handle) { return static_cast<unzFile>(handle); }

// The traditional zip encryption: three keys driven by the CRC-32 table.
class ZipCipher {
public:
    explicit ZipCipher(const ZipKeys& keys) : table_(get_crc_table()), k0_(keys.k0), k1_(keys.k1), k2_(keys.k2) {}

    static ZipKeys KeysFor(const std::string& password) {
        ZipCipher cipher{ZipKeys{}};
        for (char c : password) cipher.Update(static_cast<uint8_t>(c));
        return ZipKeys{cipher.k0_, cipher.k1_, cipher.k2_};
    }

    void Decrypt(uint8_t* data, size_t n) {
        const z_crc_t* table = table_;
        uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
        // Each byte depends on the one before through all three keys, so what counts is
        // the length of that chain: the key byte needs only the low 16 bits of the product
        // (no mask), and the second key's own product is taken apart from the byte's.
        for (size_t i = 0; i < n; ++i) {
            const uint32_t t = k2 | 2;
            const uint8_t plain = static_cast<uint8_t>(data[i] ^ ((t * (t ^ 1)) >> 8));
            data[i] = plain;
            const uint32_t k1Carried = k1 * 134775813u + 1;
            k0 = table[static_cast<uint8_t>(k0 ^ plain)] ^ (k0 >> 8);
            k1 = k1Carried + (k0 & 0xFF) * 134775813u;
            k2 = table[static_cast<uint8_t>(k2 ^ (k1 >> 24))] ^ (k2 >> 8);
        }
        k0_ = k0;
        k1_ = k1;
        k2_ = k2;
    }

    // The first key is a CRC-32 register driven by the plain bytes, so it already holds
    // their CRC, only from another start: `before` is the key as it was ahead of the
    // `size` bytes last decrypted. A CRC register's update is linear, so the register
    // from the standard start (all ones) differs from the key by the start's difference
    // carried through `size` zero bytes; that much zlib works out without a pass over the
    // bytes.
    uint32_t PlainCrc(uint32_t before, uint64_t size) const {
        const uLong shift = crc32_combine_gen64(static_cast<z_off64_t>(size));
        const uint32_t carried = static_cast<uint32_t>(crc32_combine_op(before ^ 0xFFFFFFFFu, 0, shift));
        return ~(k0_ ^ carried);
    }
    uint32_t FirstKey() const { return k0_; }

    // Decrypts the 12-byte header and answers whether its last byte is the check byte:
    // the CRC's high byte, or the DOS time's high byte when a data descriptor follows.
    bool CheckHeader(const uint8_t* header, const ZipLocatedEntry& entry) {
        uint8_t plain[kEncryptionHeaderSize];
        std::memcpy(plain, header, kEncryptionHeaderSize);
        Decrypt(plain, kEncryptionHeaderSize);
        uint8_t expected = (entry.flags & kFlagDataDescriptor) ? static_cast<uint8_t>(entry.dosDateTime >> 8)
                                                               : static_cast<uint8_t>(entry.crc >> 24);
        return plain[kEncryptionHeaderSize - 1] == expected;
    }

private:
    void Update(uint8_t c) {
        k0_ = table_[(k0_ ^ c) & 0xFF] ^ (k0_ >> 8);
        k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
        k2_ = table_[(k2_ ^ (k1_ >> 24)) & 0xFF] ^ (k2_ >> 8);
    }

    const z_crc_t* table_;
    uint32_t k0_, k1_, k2_;
};

// Raw deflate from `in` into `out` (content + 0), which must come to exactly `size`
// bytes. The buffer grows as the data inflate, so an entry claiming more than its data
// give costs what the data give, not what it claims.
// One raw-deflate state per thread, reset for each entry rather than made anew: small
// entries would otherwise spend much of their time setting it up.
class InflateState {
public:
    ~InflateState() {
        if (ready_) inflateEnd(&stream_);
    }
    // The state ready for a new stream, or null when zlib could not make it.
    z_stream* Fresh() {
        if (ready_) {
            ready_ = inflateReset(&stream_) == Z_OK;
        } else {
            stream_ = z_stream{};
            ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
        }
        return ready_ ? &stream_ : nullptr;
    }

private:
    z_stream stream_{};
    bool ready_ = false;
};

bool Inflate(const uint8_t* in, size_t inSize, uint64_t size, FileBuffer& out) {
    static thread_local InflateState state;
    z_stream* z = state.Fresh();
    if (!z) return false;
    z_stream& stream = *z;
    const uint64_t kChunk = 1u << 30;
    uint64_t room = std::min<uint64_t>(size, inSize + kInflateHeadroom);
    out.assign(static_cast<size_t>(room) + 1, 0);
    uint64_t inLeft = inSize;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = 0;  // what a failed entry left unread is not this one's
    int result;
    for (;;) {
        if (stream.avail_in == 0 && inLeft > 0) {
            stream.avail_in = static_cast<uInt>(std::min(inLeft, kChunk));
            inLeft -= stream.avail_in;
        }
        if (stream.total_out == room && room < size) {
            room = std::min<uint64_t>(size, room * 2);
            out.resize(static_cast<size_t>(room) + 1);
        }
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(std::min<uint64_t>(room - stream.total_out, kChunk));
        // Once all input is given, Z_FINISH lets zlib skip allocating and filling its
        // sliding window when the output fits, as it does unless the claim was a lie.
        result = inflate(&stream, inLeft == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_OK) continue;
        // No progress possible: go on only when more input or room is still to come.
        if (result == Z_BUF_ERROR && ((stream.avail_in == 0 && inLeft > 0) || (stream.total_out == room && room < size)))
            continue;
        break;
    }
    bool ok = result == Z_STREAM_END && stream.total_out == size;
    if (!ok) out.clear();
    return ok;
}

uint32_t Crc32(const uint8_t* data, uint64_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        uInt n = static_cast<uInt>(size < (1u << 30) ? size : (1u << 30));
        crc = crc32(crc, data, n);
        data += n;
        size -= n;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace

ZipArchive::ZipArchive() = default;
ZipArchive::~ZipArchive() { Close(); }

void ZipArchive::Close() {
    if (handle_) {
        unzCloseCurrentFile(Handle(handle_));
        unzClose(Handle(handle_));
        handle_ = nullptr;
    }
    stream_.reset();
    password_.clear();
    keys_ = ZipKeys{};
    index_.clear();
}

bool ZipArchive::Open(const std::string& osPath, const char* password) {
    Close();
    auto stream = std::make_unique<ZipArchiveStream>();
    if (!stream->Open(osPath)) {
        DebugStream() << "archive: can't open '" << osPath << "'";
        return false;
    }
    zlib_filefunc64_def functions = stream->Functions();
    unzFile zip = unzOpen2_64(osPath.c_str(), &functions);
    if (!zip) {
        DebugStream() << "archive: '" << osPath << "' is not a readable zip archive";
        return false;
    }
    stream->KeepDirectory(kMaxDirectoryInMemory);
    stream_ = std::move(stream);
    handle_ = zip;
    if (password) password_.assign(password, strnlen(password, 63));
    keys_ = ZipCipher::KeysFor(password_);

    // A directory record takes at least 46 bytes, which bounds what a damaged count may reserve.
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zip, &global) == UNZ_OK)
        index_.reserve(static_cast<size_t>(std::min<uint64_t>(global.number_entry, stream_->Size() / 46)));

    std::vector<char> name(kMaxNameLength + 1);
    int result = unzGoToFirstFile(zip);
    while (result == UNZ_OK) {
        unz_file_info64 info;
        result = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                         nullptr, 0);
        if (result != UNZ_OK) break;
        unz64_file_pos pos;
        result = unzGetFilePos64(zip, &pos);
        if (result != UNZ_OK) break;
        std::string key = NormalizeArchiveName(std::string(name.data(), strnlen(name.data(), name.size())));
        if (!key.empty()) {
            // The local header repeats the name and holds an extra field of its own,
            // usually about as long as the directory's.
            const uint64_t span = 30 + 2 * (uint64_t{info.size_filename} + info.size_file_extra) + 64;
            IndexEntry entry{pos.pos_in_zip_directory, pos.num_of_file, info.compressed_size, info.uncompressed_size,
                             static_cast<uint32_t>(info.crc), static_cast<uint32_t>(info.dosDate),
                             static_cast<uint32_t>(info.flag), static_cast<uint32_t>(info.compression_method),
                             static_cast<uint32_t>(std::min<uint64_t>(span, UINT32_MAX))};
            index_.insert_or_assign(std::move(key), entry);
        }
        result = unzGoToNextFile(zip);
    }
    if (result != UNZ_END_OF_LIST_OF_FILE) {
        DebugStream() << "archive: '" << osPath << "' has a damaged directory (error " << result << ")";
        Close();
        return false;
    }
    return true;
}

std::vector<std::string> ZipArchive::EntryNames() const {
    std::vector<std::string> names;
    names.reserve(index_.size());
    for (const auto& entry : index_) names.push_back(entry.first);
    return names;
}

bool ZipArchive::LocateEntry(const std::string& name, ZipLocatedEntry& entry) {
    if (!handle_) return false;
    auto it = index_.find(name);
    if (it == index_.end()) return false;
    const IndexEntry& found = it->second;
    unz64_file_pos pos{found.directoryOffset, found.fileNumber};
    if (unzGoToFilePos64(Handle(handle_), &pos) != UNZ_OK) {
        DebugStream() << "archive: can't find the entry '" << name << "'";
        return false;
    }
    entry.name = name;
    entry.keys = keys_;
    entry.flags = found.flags;
    entry.method = found.method;
    entry.crc = found.crc;
    entry.dosDateTime = found.dosDateTime;
    entry.size = found.size;
    entry.file.reset();

    const uint64_t header = (entry.flags & kFlagEncrypted) ? kEncryptionHeaderSize : 0;
    const char* problem = nullptr;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) {
        problem = "uses an unsupported compression method";
    } else if (entry.flags & kFlagStrongEncryption) {
        problem = "uses an unsupported encryption";
    } else if ((entry.flags & kFlagEncrypted) && password_.empty()) {
        problem = "is encrypted and no password is set";
    } else if (found.storedSize > stream_->Size() || found.storedSize < header || found.size > uint64_t{INT_MAX} ||
               (entry.method == kMethodStored && found.size != found.storedSize - header) ||
               (entry.method == kMethodDeflated && found.size > (found.storedSize - header) * kMaxDeflateRatio + 64)) {
        problem = "has impossible sizes";
    }
    if (problem) {
        DebugStream() << "archive: the entry '" << name << "' " << problem;
        return false;
    }
    // minizip reads and checks the local header; the bytes after it are read by the caller.
    stream_->ExpectRead(found.headerSpan);
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(Handle(handle_), &method, &level, 1) != UNZ_OK) {
        DebugStream() << "archive: can't open the entry '" << name << "'";
        return false;
    }
    entry.offset = unzGetCurrentFileZStreamPos64(Handle(handle_));
    unzCloseCurrentFile(Handle(handle_));  // answers a CRC error in raw mode: not meaningful
    entry.storedSize = found.storedSize;
    entry.file = stream_->File();
    return true;
}

bool ZipArchive::ReadLocatedEntry(const ZipLocatedEntry& entry, FileBuffer& buffer) {
    buffer.clear();
    if (!entry.file) return false;
    const ReadOnlyFile& file = *entry.file;
    uint64_t at = entry.offset;
    size_t size = static_cast<size_t>(entry.storedSize);
    const bool encrypted = entry.flags & kFlagEncrypted;
    ZipCipher cipher(entry.keys);
    // The local header places the bytes; when they would reach past the file, nothing
    // is allocated for them.
    if (at > file.Size() || entry.storedSize > file.Size() - at) {
        DebugStream() << "archive: the entry '" << entry.name << "' is truncated";
        return false;
    }
    if (encrypted) {
        uint8_t header[kEncryptionHeaderSize];
        if (size < kEncryptionHeaderSize || file.ReadAt(at, header, kEncryptionHeaderSize) != kEncryptionHeaderSize) {
            DebugStream() << "archive: the entry '" << entry.name << "' is truncated";
            return false;
        }
        if (!cipher.CheckHeader(header, entry)) {
            DebugStream() << "archive: wrong password for the entry '" << entry.name << "'";
            return false;
        }
        at += kEncryptionHeaderSize;
        size -= kEncryptionHeaderSize;
    }
    // A stored entry is read where its content ends up; a deflated one next to it.
    FileBuffer out, deflated;
    uint8_t* data;
    if (entry.method == kMethodStored) {
        if (size != entry.size) {
            DebugStream() << "archive: the entry '" << entry.name << "' is damaged";
            return false;
        }
        data = ResizeBuffer(out, size);
    } else {
        deflated.resize(size);
        data = deflated.data();
    }
    if (file.ReadAt(at, data, size) != size) {
        DebugStream() << "archive: the entry '" << entry.name << "' is truncated";
        return false;
    }
    const uint32_t firstKey = cipher.FirstKey();
    if (encrypted) cipher.Decrypt(data, size);
    if (entry.method != kMethodStored && !Inflate(data, size, entry.size, out)) {
        DebugStream() << "archive: the entry '" << entry.name << "' is damaged";
        return false;
    }
    // A stored encrypted entry's CRC comes out of the decryption; the others take a pass.
    const uint32_t crc = encrypted && entry.method == kMethodStored ? cipher.PlainCrc(firstKey, size)
                                                                    : Crc32(out.data(), entry.size);
    if (crc != entry.crc) {
        DebugStream() << "archive: CRC error in the entry '" << entry.name << "'";
        return false;
    }
    buffer.swap(out);
    return true;
}

bool ZipArchive::ReadFile(FileBuffer& buffer, const std::string& name) {
    buffer.clear();
    ZipLocatedEntry entry;
    return LocateEntry(name, entry) && ReadLocatedEntry(entry, buffer);
}

bool ZipArchive::GetFileSize(const std::string& name, int& size) {
    ZipLocatedEntry entry;
    if (!LocateEntry(name, entry)) return false;
    if (entry.flags & kFlagEncrypted) {
        uint8_t header[kEncryptionHeaderSize];
        if (entry.file->ReadAt(entry.offset, header, kEncryptionHeaderSize) != kEncryptionHeaderSize ||
            !ZipCipher(keys_).CheckHeader(header, entry)) {
            DebugStream() << "archive: wrong password for the entry '" << name << "'";
            return false;
        }
    }
    size = static_cast<int>(entry.size);
    return true;
}

}  // namespace pf
