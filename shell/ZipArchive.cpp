#include "shell/ZipArchive.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <minizip/unzip.h>
#include <zlib.h>

#include "shell/Log.h"
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
    explicit ZipCipher(const std::string& password) : table_(get_crc_table()) {
        for (char c : password) Update(static_cast<uint8_t>(c));
    }

    void Decrypt(uint8_t* data, size_t n) {
        const z_crc_t* table = table_;
        uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
        for (size_t i = 0; i < n; ++i) {
            uint32_t t = (k2 & 0xFFFF) | 2;
            uint8_t plain = static_cast<uint8_t>(data[i] ^ ((t * (t ^ 1)) >> 8));
            data[i] = plain;
            k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
            k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
            k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
        }
        k0_ = k0;
        k1_ = k1;
        k2_ = k2;
    }

    // Decrypts the 12-byte header and answers whether its last byte is the check byte:
    // the CRC's high byte, or the DOS time's high byte when a data descriptor follows.
    bool CheckHeader(const uint8_t* header, const ZipStoredEntry& entry) {
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
    uint32_t k0_ = 0x12345678u, k1_ = 0x23456789u, k2_ = 0x34567890u;
};

// Raw deflate from `in` into `out` (content + 0), which must come to exactly `size`
// bytes. The buffer grows as the data inflate, so an entry claiming more than its data
// give costs what the data give, not what it claims.
bool Inflate(const uint8_t* in, size_t inSize, uint64_t size, FileBuffer& out) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    const uint64_t kChunk = 1u << 30;
    uint64_t room = std::min<uint64_t>(size, inSize + kInflateHeadroom);
    out.assign(static_cast<size_t>(room) + 1, 0);
    uint64_t inLeft = inSize;
    stream.next_in = const_cast<Bytef*>(in);
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
    inflateEnd(&stream);
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
            const uint64_t span = 30 + 2 * (uint64_t{info.size_filename} + info.size_file_extra) + 64 +
                                  info.compressed_size;
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

bool ZipArchive::Locate(const std::string& name, ZipStoredEntry& entry) {
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
    entry.password = password_;
    entry.flags = found.flags;
    entry.method = found.method;
    entry.crc = found.crc;
    entry.dosDateTime = found.dosDateTime;
    entry.size = found.size;
    entry.data.clear();

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
    stream_->ExpectRead(found.localSpan);
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(Handle(handle_), &method, &level, 1) != UNZ_OK) {
        DebugStream() << "archive: can't open the entry '" << name << "'";
        return false;
    }
    entry.storedSize = found.storedSize;
    return true;
}

bool ZipArchive::ReadStoredEntry(const std::string& name, ZipStoredEntry& entry) {
    if (!Locate(name, entry)) return false;
    entry.data.resize(static_cast<size_t>(entry.storedSize));
    size_t done = 0;
    const size_t total = entry.data.size();
    while (done < total) {
        size_t want = total - done < (1u << 30) ? total - done : (1u << 30);
        int n = unzReadCurrentFile(Handle(handle_), entry.data.data() + done, static_cast<unsigned>(want));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    unzCloseCurrentFile(Handle(handle_));  // answers a CRC error in raw mode: not meaningful
    if (done != total) {
        DebugStream() << "archive: the entry '" << name << "' is truncated";
        entry.data.clear();
        return false;
    }
    return true;
}

bool ZipArchive::DecodeEntry(ZipStoredEntry& entry, FileBuffer& buffer) {
    buffer.clear();
    uint8_t* data = entry.data.data();
    size_t size = entry.data.size();
    if (entry.flags & kFlagEncrypted) {
        ZipCipher cipher(entry.password);
        if (size < kEncryptionHeaderSize || !cipher.CheckHeader(data, entry)) {
            DebugStream() << "archive: wrong password for the entry '" << entry.name << "'";
            return false;
        }
        data += kEncryptionHeaderSize;
        size -= kEncryptionHeaderSize;
        cipher.Decrypt(data, size);  // in place: the stored bytes are not needed again
    }
    FileBuffer out;
    bool ok;
    if (entry.method == kMethodStored) {
        ok = size == entry.size;  // the stored bytes are at hand: the claim is the truth
        uint8_t* target = ok ? ResizeBuffer(out, size) : nullptr;
        if (ok && size) std::memcpy(target, data, size);
    } else {
        ok = Inflate(data, size, entry.size, out);
    }
    if (!ok) {
        DebugStream() << "archive: the entry '" << entry.name << "' is damaged";
        return false;
    }
    if (Crc32(out.data(), entry.size) != entry.crc) {
        DebugStream() << "archive: CRC error in the entry '" << entry.name << "'";
        return false;
    }
    buffer.swap(out);
    return true;
}

bool ZipArchive::ReadFile(FileBuffer& buffer, const std::string& name) {
    buffer.clear();
    ZipStoredEntry entry;
    return ReadStoredEntry(name, entry) && DecodeEntry(entry, buffer);
}

bool ZipArchive::GetFileSize(const std::string& name, int& size) {
    ZipStoredEntry entry;
    if (!Locate(name, entry)) return false;
    bool ok = true;
    if (entry.flags & kFlagEncrypted) {
        uint8_t header[kEncryptionHeaderSize];
        ok = unzReadCurrentFile(Handle(handle_), header, kEncryptionHeaderSize) ==
             static_cast<int>(kEncryptionHeaderSize) && ZipCipher(password_).CheckHeader(header, entry);
        if (!ok) DebugStream() << "archive: wrong password for the entry '" << name << "'";
    }
    unzCloseCurrentFile(Handle(handle_));
    if (ok) size = static_cast<int>(entry.size);
    return ok;
}

}  // namespace pf
