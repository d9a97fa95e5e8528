/*******************************************************************************************
*  first_start.h — the portable installation: its layout, the check, and the first start
*
*  The program is handed out as one file. What the launcher needs beside it (an interpreter,
*  Git and the project's sources) is fetched on the first start into the folder that holds
*  the program: downloaded to "<folder>.zip.part", checked against a pinned digest where there
*  is one, unpacked into "<folder>.unpacking" beside its place, confirmed there by its marker
*  file, flushed to the disk and only then renamed into place. A run killed at any moment
*  leaves no folder that passes for complete, and the next first start clears what it left.
*  The folder beside the program is the user's too: only what carries our tag is ever
*  cleared or replaced.
*******************************************************************************************/
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vlr {

// Caption of every message box the start-up shows.
inline constexpr const char* kProductName = "Velocrash Rebuilt";

// ---- paths ----

// Appends a relative part: one separator goes between them unless the left side is empty,
// already ends in a separator ('\\' or '/'), or is a bare drive ("D:").
std::string joinPath(std::string left, std::string_view right, char separator = platform::pathSeparator());

// The path without its last component (the folder that holds a file).
std::string parentFolder(std::string_view path);

// A table path written with backslashes, in this system's separators.
std::string localPath(std::string_view tablePath);

// ---- components ----

struct RuntimeComponent {
    std::string_view name;    // in progress texts and messages
    std::string_view folder;  // sub-folder of the portable folder
    std::string_view marker;  // relative to the portable folder; present = installed
    std::string_view url;
    std::string_view sha256;  // 64 lower-case hex digits; empty: not verified (the sources)
    std::uint64_t maxBytes = 0;  // the download's size bound; 0: kUnpinnedDownloadBound
};

// The bound for a download whose size nothing pins (the sources follow the project's releases).
inline constexpr std::uint64_t kUnpinnedDownloadBound = platform::DownloadLimits{}.maxBytes;

// The fixed table, in the order it is checked and installed.
extern const std::array<RuntimeComponent, 3> kRuntimeComponents;

// What this system's program fetches: the whole table on Windows, only the sources where the
// system supplies the interpreter and Git.
std::span<const RuntimeComponent> productComponents();

struct InstallCheck {
    platform::Exists complete = platform::Exists::No;  // Unknown: `path` could not be examined
    std::string path;                                  // the first marker that is not Yes
};

// Tests the markers in table order and stops at the first one that is not there.
InstallCheck checkInstallation(const std::string& portable, std::span<const RuntimeComponent> table);

// ---- the first-start worker ----

std::string downloadErrorText(std::string_view name, std::string_view url);
std::string digestErrorText(std::string_view name);
std::string unpackErrorText(std::string_view name, std::string_view folder);

// True when the file starts like a zip archive. A server's error page saved by a download
// service that reported success is not one.
bool looksLikeZip(const std::string& path);

// Where a component is downloaded to and unpacked into before it takes its place.
std::string archivePath(const std::string& portable, const RuntimeComponent& component);
std::string stagingPath(const std::string& portable, const RuntimeComponent& component);

// Written into a staging folder before anything else and kept when the folder takes its
// place: the proof that this program made it. A staging folder without it may only be cleared
// when empty, and a download file only beside a tagged staging folder.
inline constexpr const char* kOwnerTag = ".velocrash-rebuilt";

// The message for a name the first start needs that holds something it did not make.
std::string occupiedText(std::string_view path);

// The first place among the missing components' folders, staging folders and download files
// that holds something this program cannot prove it made; empty when there is none. Nothing
// is touched.
std::string foreignPlace(const std::string& portable, std::span<const RuntimeComponent> table);

// Appends "..\source\tools" and CRLF to python312._pth in the Python folder (created when
// missing), so the embedded interpreter finds the launcher's modules. False when it could not.
bool appendPythonPath(const std::string& pythonFolder);

// Installs every component of `table` whose marker is missing, in order, stopping at the
// first failure, after clearing what a killed run left. A foreign place (above) ends it before
// anything is touched, with occupiedText. The board gets the status texts and download
// progress; `error` gets the message of a failure. True when nothing failed. The caller keeps
// other starts of the same folder out (the first-start lock).
bool installRuntime(const std::string& portable, std::span<const RuntimeComponent> table, platform::ProgressBoard& board,
                    std::string& error);

}  // namespace vlr
