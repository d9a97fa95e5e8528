/*******************************************************************************************
*  font_files.cpp — reading font files: the table check, metrics, and faces of collections
*
*  A font file is trusted for nothing: every offset is checked against the bytes before use,
*  and a file that fails a check is treated as missing, so the loaders' fallbacks apply. A
*  TrueType collection (.ttc) holds several faces over shared tables; raylib reads only a
*  plain font, so the wanted face is copied out into one.
*
*  Sections: byte helpers · single fonts · collections · sizes
*******************************************************************************************/
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "ui/fonts.h"

namespace vlr {

namespace {

constexpr int kLargestFontSize = 1024;   // keeps a wild scale from asking for gigabyte atlases

// ---- byte helpers ----

std::uint32_t be16(const std::string& b, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 8) |
           static_cast<unsigned char>(b[at + 1]);
}

std::uint32_t be32(const std::string& b, std::size_t at) {
    return (be16(b, at) << 16) | be16(b, at + 2);
}

void put16(std::string& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<char>((v >> 8) & 0xFF);
    b[at + 1] = static_cast<char>(v & 0xFF);
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v >> 16);
    put16(b, at + 2, v & 0xFFFF);
}

bool fits(const std::string& b, std::uint64_t at, std::uint64_t length) { return at <= b.size() && length <= b.size() - at; }

std::string lowerExtension(const std::string& path) {
    if (path.size() < 5) return {};
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

// ---- collections ----

bool isCollection(const std::string& bytes) { return bytes.size() >= 12 && bytes.compare(0, 4, "ttcf") == 0; }

// Where each face's table directory starts.
std::vector<std::uint32_t> faceOffsets(const std::string& bytes) {
    std::vector<std::uint32_t> offsets;
    if (!isCollection(bytes)) return offsets;
    const std::uint32_t count = be32(bytes, 8);
    if (!fits(bytes, 12, std::uint64_t{count} * 4)) return offsets;
    for (std::uint32_t i = 0; i < count; ++i) offsets.push_back(be32(bytes, 12 + 4 * std::size_t{i}));
    return offsets;
}

// The table `tag` of the face whose directory starts at `directory`: {offset, length}, or {0, 0}.
std::pair<std::uint32_t, std::uint32_t> findTable(const std::string& bytes, std::uint32_t directory, const char* tag) {
    if (!fits(bytes, directory, 12)) return {0, 0};
    const std::uint32_t tables = be16(bytes, directory + 4);
    for (std::uint32_t i = 0; i < tables; ++i) {
        const std::uint64_t record = directory + 12 + 16 * std::uint64_t{i};
        if (!fits(bytes, record, 16)) break;
        if (bytes.compare(static_cast<std::size_t>(record), 4, tag) != 0) continue;
        const std::uint32_t offset = be32(bytes, static_cast<std::size_t>(record + 8));
        const std::uint32_t length = be32(bytes, static_cast<std::size_t>(record + 12));
        return fits(bytes, offset, length) ? std::make_pair(offset, length) : std::make_pair(0u, 0u);
    }
    return {0, 0};
}

// Whether the face at `directory` calls itself `name` (family, full or typographic family name,
// in the Windows (UTF-16BE) or Macintosh (8-bit) records; compared without regard to case for
// ASCII letters).
bool faceIsNamed(const std::string& bytes, std::uint32_t directory, std::string_view name) {
    const auto [table, length] = findTable(bytes, directory, "name");
    if (length < 6 || name.empty()) return false;
    const std::uint32_t count = be16(bytes, table + 2);
    const std::uint64_t strings = table + std::uint64_t{be16(bytes, table + 4)};
    auto same = [&](std::uint64_t at, std::uint32_t size, bool wide) {
        const std::size_t step = wide ? 2 : 1;
        if (!fits(bytes, at, size) || size != name.size() * step) return false;
        for (std::size_t k = 0; k < name.size(); ++k) {
            const std::size_t byte = static_cast<std::size_t>(at) + k * step;
            if (wide && bytes[byte] != 0) return false;
            const char c = bytes[byte + step - 1];
            auto lower = [](char x) { return x >= 'A' && x <= 'Z' ? static_cast<char>(x - 'A' + 'a') : x; };
            if (lower(c) != lower(name[k])) return false;
        }
        return true;
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t record = table + 6 + 12 * std::uint64_t{i};
        if (record + 12 > table + std::uint64_t{length}) break;
        const auto at = static_cast<std::size_t>(record);
        const std::uint32_t platformId = be16(bytes, at), nameId = be16(bytes, at + 6);
        if ((platformId != 3 && platformId != 1) || (nameId != 1 && nameId != 4 && nameId != 16)) continue;
        if (same(strings + be16(bytes, at + 10), be16(bytes, at + 8), platformId == 3)) return true;
    }
    return false;
}

}  // namespace

// ---- single fonts ----

FontFile parseFontFile(std::string bytes) {
    FontFile file;
    const std::size_t size = bytes.size();
    if (size > static_cast<std::size_t>(INT_MAX)) return file;   // raylib takes an int size

    const std::size_t tableCount = size > 5 ? be16(bytes, 4) : 0;
    std::uint64_t head = 0;
    std::uint64_t hhea = 0;
    for (std::size_t i = 0; i < tableCount; ++i) {
        const std::size_t record = 12 + 16 * i;
        if (record + 16 > size) break;
        const char* tag = bytes.data() + record;
        if (std::memcmp(tag, "head", 4) == 0) head = be32(bytes, record + 8);
        if (std::memcmp(tag, "hhea", 4) == 0) hhea = be32(bytes, record + 8);
    }
    if (head == 0 || hhea == 0 || size < head + 20) return file;
    const std::uint32_t unitsPerEm = be16(bytes, static_cast<std::size_t>(head + 18));
    if (unitsPerEm == 0) return file;

    file.unitsPerEm = static_cast<float>(unitsPerEm);
    if (hhea + 6 <= size) file.ascender = static_cast<std::int16_t>(be16(bytes, static_cast<std::size_t>(hhea + 4)));
    if (hhea + 8 <= size) file.descender = static_cast<std::int16_t>(be16(bytes, static_cast<std::size_t>(hhea + 6)));
    file.bytes = std::move(bytes);
    return file;
}

FontFile loadFontFile(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension != ".ttf" && extension != ".otf") return {};
    std::string bytes;
    if (!platform::readFile(path, bytes)) return {};
    return parseFontFile(std::move(bytes));
}

FontFile loadFontFace(const platform::FontFace& face) {
    const std::string extension = lowerExtension(face.path);
    if (extension != ".ttf" && extension != ".otf" && extension != ".ttc") return {};
    std::string bytes;
    if (!platform::readFile(face.path, bytes)) return {};
    if (!isCollection(bytes)) return parseFontFile(std::move(bytes));
    return parseFontFile(faceOfCollection(bytes, face.index, face.name));
}

// ---- collections ----

std::string faceOfCollection(const std::string& collection, int index, std::string_view name) {
    const std::vector<std::uint32_t> offsets = faceOffsets(collection);
    if (offsets.empty()) return {};
    std::size_t chosen = 0;
    if (index >= 0) {
        if (static_cast<std::size_t>(index) >= offsets.size()) return {};
        chosen = static_cast<std::size_t>(index);
    } else {
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            if (faceIsNamed(collection, offsets[i], name)) {
                chosen = i;
                break;
            }
        }
    }

    // A plain font: the face's directory with each table copied after it, 4-byte aligned.
    const std::uint32_t directory = offsets[chosen];
    if (!fits(collection, directory, 12)) return {};
    const std::uint32_t tables = be16(collection, directory + 4);
    const std::uint64_t headerSize = 12 + 16 * std::uint64_t{tables};
    if (!fits(collection, directory, headerSize)) return {};
    std::string font = collection.substr(directory, static_cast<std::size_t>(headerSize));
    for (std::uint32_t i = 0; i < tables; ++i) {
        const std::size_t record = 12 + 16 * std::size_t{i};
        const std::uint32_t offset = be32(font, record + 8);
        const std::uint32_t length = be32(font, record + 12);
        if (!fits(collection, offset, length) || font.size() + std::uint64_t{length} + 3 > INT_MAX) return {};
        put32(font, record + 8, static_cast<std::uint32_t>(font.size()));
        font.append(collection, offset, length);
        font.resize((font.size() + 3) & ~std::size_t{3}, '\0');
    }
    return font;
}

// ---- sizes ----

int raylibFontSize(const FontFile& file, float emSize) {
    const float h = std::round((file.ascender - file.descender) * emSize / file.unitsPerEm);
    if (!(h >= 1)) return 1;   // also catches NaN from a broken scale
    return static_cast<int>(std::min(h, static_cast<float>(kLargestFontSize)));
}

int baselineOf(const FontFile& file, int size) {
    const float span = file.ascender - file.descender;
    if (span == 0) return 0;
    return static_cast<int>(file.ascender * (static_cast<float>(size) / span));
}

}  // namespace vlr
