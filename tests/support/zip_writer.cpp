/*******************************************************************************************
*  zip_writer.cpp — stored zip archives (local headers, central directory, end record)
*******************************************************************************************/
#include "zip_writer.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/platform.h"

namespace vlr::test {

namespace {

std::uint32_t crc32(const std::string& bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::string makeZip(const ZipEntries& entries) {
    std::string out, central;
    for (const auto& [name, content] : entries) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crc32(content);
        const auto size = static_cast<std::uint32_t>(content.size());
        out += "PK\x03\x04";
        put16(out, 20);  // version needed
        put16(out, 0);   // flags
        put16(out, 0);   // stored
        put16(out, 0);   // time
        put16(out, 0x21);  // date: 1980-01-01
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, static_cast<std::uint32_t>(name.size()));
        put16(out, 0);
        out += name;
        out += content;

        central += "PK\x01\x02";
        put16(central, 20);
        put16(central, 20);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0x21);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, static_cast<std::uint32_t>(name.size()));
        put16(central, 0);  // extra
        put16(central, 0);  // comment
        put16(central, 0);  // disk
        put16(central, 0);  // internal attributes
        put32(central, 0);  // external attributes
        put32(central, offset);
        central += name;
    }
    const std::uint32_t centralAt = static_cast<std::uint32_t>(out.size());
    out += central;
    out += "PK\x05\x06";
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put16(out, static_cast<std::uint32_t>(entries.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralAt);
    put16(out, 0);
    return out;
}

std::string sha256Of(const std::string& bytes) {
    std::random_device device;
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vlr-sha-" + std::to_string(device()) + ".bin");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const std::u8string name = file.u8string();
    std::string digest = platform::sha256File(std::string(name.begin(), name.end()));
    std::error_code error;
    std::filesystem::remove(file, error);
    return digest;
}

}  // namespace vlr::test
