/*******************************************************************************************
*  zip_writer.h — small zip archives for the first-start tests and benchmark
*
*  Entries are stored uncompressed (the archive tool unpacks those like any other), names
*  taken as given, so a test can also write names that try to climb out of their folder.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vlr::test {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;  // name, content

// The whole archive as bytes.
std::string makeZip(const ZipEntries& entries);

// Lower-case hexadecimal SHA-256 of bytes in memory (through a file and the platform call).
std::string sha256Of(const std::string& bytes);

}  // namespace vlr::test
