/*******************************************************************************************
*  first_start.cpp — portable layout, installation check and the first-start worker
*
*  Sections: paths · components · installation check · worker
*******************************************************************************************/
#include "app/first_start.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>

namespace vlr {

// ---- paths ----

namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isBareDrive(std::string_view path) {
    return path.size() == 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string joinPath(std::string left, std::string_view right, char separator) {
    if (!left.empty() && !isSeparator(left.back()) && !isBareDrive(left))
        left += separator;
    left += right;
    return left;
}

std::string parentFolder(std::string_view path) {
    std::size_t end = path.size();
    while (end > 0 && !isSeparator(path[end - 1]))
        --end;
    if (end == 0)
        return {};
    // "C:\x" keeps "C:\" and "/x" keeps "/": a root is a folder of its own.
    std::size_t cut = end - 1;
    while (cut > 0 && isSeparator(path[cut - 1]))
        --cut;
    if (cut == 0 || isBareDrive(path.substr(0, cut)))
        return std::string(path.substr(0, cut + 1));
    return std::string(path.substr(0, cut));
}

std::string localPath(std::string_view tablePath) {
    std::string path(tablePath);
    for (char& c : path)
        if (c == '\\')
            c = platform::pathSeparator();
    return path;
}

// ---- components ----

const std::array<RuntimeComponent, 3> kRuntimeComponents = {{
    {"Python", "python", "python\\pythonw.exe",
     "https://www.python.org/ftp/python/3.12.10/python-3.12.10-embed-amd64.zip",
     "4acbed6dd1c744b0376e3b1cf57ce906f9dc9e95e68824584c8099a63025a3c3", std::uint64_t{32} << 20},
    {"Git", "git", "git\\cmd\\git.exe",
     "https://github.com/git-for-windows/git/releases/download/v2.56.0.windows.4/MinGit-2.56.0.4-64-bit.zip",
     "e3bf78351fe777fba47ddee5950082f8a98bb0f02604fdc7ba3ee2cb68ffa877", std::uint64_t{128} << 20},
    {"Velocrash Rebuilt", "source", "source\\tools\\launcher.py",
     "https://github.com/velocrash-rebuilt/velocrash-rebuilt/releases/latest/download/source.zip", ""},
}};

std::span<const RuntimeComponent> productComponents() {
    std::span<const RuntimeComponent> all(kRuntimeComponents);
    return platform::runtimeFromSystem() ? all.last(1) : all;
}

// ---- installation check ----

InstallCheck checkInstallation(const std::string& portable, std::span<const RuntimeComponent> table) {
    for (const RuntimeComponent& component : table) {
        InstallCheck check;
        check.path = joinPath(portable, localPath(component.marker));
        check.complete = platform::fileExists(check.path);
        if (check.complete != platform::Exists::Yes)
            return check;
    }
    return {platform::Exists::Yes, {}};
}

// ---- worker ----

std::string downloadErrorText(std::string_view name, std::string_view url) {
    return "Could not download " + std::string(name) + ".\nCheck the Internet connection, then start again.\n\n" +
           std::string(url);
}

std::string digestErrorText(std::string_view name) {
    return "The download of " + std::string(name) + " is not the expected file. Nothing was installed from it.";
}

std::string unpackErrorText(std::string_view name, std::string_view folder) {
    return "Could not unpack " + std::string(name) + " into\n" + std::string(folder);
}

bool looksLikeZip(const std::string& path) {
    std::ifstream file(pathOf(path), std::ios::binary);
    char head[4] = {};
    if (!file.read(head, sizeof head))
        return false;
    // A local file header, or the end record of an archive with no entries.
    return head[0] == 'P' && head[1] == 'K' &&
           ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
}

bool appendPythonPath(const std::string& pythonFolder) {
    std::ofstream file(pathOf(joinPath(pythonFolder, "python312._pth")), std::ios::binary | std::ios::app);
    file << "..\\source\\tools\r\n";
    file.close();
    return !file.fail();
}

std::string archivePath(const std::string& portable, const RuntimeComponent& component) {
    return joinPath(portable, std::string(component.folder) + ".zip.part");
}

std::string stagingPath(const std::string& portable, const RuntimeComponent& component) {
    return joinPath(portable, std::string(component.folder) + ".unpacking");
}

std::string occupiedText(std::string_view path) {
    return "Velocrash Rebuilt keeps its files beside itself, but this name is already taken by something it did "
           "not make:\n" +
           std::string(path) +
           "\n\nNothing was changed. Put Velocrash Rebuilt into a folder of its own (a new, empty folder), then start "
           "it from there.";
}

namespace {

enum class Claim { Free, Ours, Foreign };

bool tagged(const std::string& folder) {
    return platform::fileExists(joinPath(folder, kOwnerTag)) == platform::Exists::Yes;
}

// A folder that holds nothing: what a run killed between making the staging folder and
// tagging it leaves. Removing it loses no one's data.
bool emptyFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(pathOf(path), error) && std::filesystem::is_empty(pathOf(path), error) &&
           !error;
}

// Whatever the system will not tell us about is treated as someone else's.
Claim claimOf(const std::string& path, bool emptyIsOurs) {
    const platform::Exists there = platform::fileExists(path);
    if (there == platform::Exists::No)
        return Claim::Free;
    if (there == platform::Exists::Yes && (tagged(path) || (emptyIsOurs && emptyFolder(path))))
        return Claim::Ours;
    return Claim::Foreign;
}

bool missing(const std::string& portable, const RuntimeComponent& component) {
    return platform::fileExists(joinPath(portable, localPath(component.marker))) != platform::Exists::Yes;
}

// The marker's place inside the component's own folder ("python\pythonw.exe" -> "pythonw.exe").
std::string markerInside(const RuntimeComponent& component) {
    return localPath(component.marker.substr(component.folder.size() + 1));
}

// The tag first, flushed, so that a folder of ours never sits on the disk without its proof.
// Written in place rather than renamed in: a run killed half-way through writing it leaves a
// tag all the same, never a stray temporary file in an untagged folder.
bool makeStaging(const std::string& staging) {
    if (!platform::makeFolders(staging))
        return false;
    std::ofstream tag(pathOf(joinPath(staging, kOwnerTag)), std::ios::binary);
    tag << "Made by Velocrash Rebuilt's first start, which may replace this folder.\n";
    tag.close();
    return !tag.fail() && platform::flushTree(staging);
}

bool installComponent(const std::string& portable, const RuntimeComponent& component, platform::ProgressBoard& board,
                      std::string& error) {
    const std::string name(component.name);
    board.setStatus("Downloading " + name + "...");

    std::string url(component.url);
    if (component.sha256.empty()) {
        std::optional<std::string> override = platform::getEnv("VLR_SOURCE_URL");
        if (override && !override->empty())
            url = *override;
    }

    const std::string folder = joinPath(portable, component.folder);
    const std::string staging = stagingPath(portable, component);
    const std::string archive = archivePath(portable, component);
    // Before the download: a download file is ours only beside a tagged staging folder.
    if (!makeStaging(staging)) {
        error = unpackErrorText(name, folder);
        if (claimOf(staging, true) == Claim::Ours)
            platform::removeTree(staging);
        return false;
    }
    // The download file goes before the staging folder in every outcome, for the same reason.
    auto fail = [&](std::string text) {
        error = std::move(text);
        platform::removeFile(archive);
        platform::removeTree(staging);
        return false;
    };

    platform::DownloadLimits limits;
    limits.maxBytes = component.maxBytes != 0 ? component.maxBytes : kUnpinnedDownloadBound;
    const bool fetched = platform::downloadToFile(
        url, archive, limits, [&board](std::uint64_t got, std::uint64_t length) { board.setDownload(got, length); });
    if (!fetched || !looksLikeZip(archive))
        return fail(downloadErrorText(name, url));
    if (!component.sha256.empty() && platform::sha256File(archive) != component.sha256)
        return fail(digestErrorText(name));

    // Unpacked and made ready beside its place, so that a run killed part-way never leaves a
    // folder with a marker but without the rest: only the rename below makes it count.
    board.setStatus("Unpacking " + name + "...");
    const int code = platform::unpackArchive(archive, staging, portable);
    platform::removeFile(archive);

    bool ready = code == 0 && platform::fileExists(joinPath(staging, markerInside(component))) == platform::Exists::Yes;
    // Only in the run that unpacked it, so the line is never added twice.
    if (ready && component.folder == "python")
        ready = appendPythonPath(staging);
    // On the disk before the rename: after a power cut the name must not stand for files
    // that never got there.
    ready = ready && platform::flushTree(staging);
    if (!ready)
        return fail(unpackErrorText(name, folder));

    // What stands in the way has no marker (else nothing would be installed). Ours, it is
    // damaged (a file deleted or quarantined) and replaced; anything else was made in the
    // meantime by someone else and stays.
    const Claim place = claimOf(folder, false);
    if (place == Claim::Foreign)
        return fail(occupiedText(folder));
    if ((place == Claim::Ours && !platform::removeTree(folder)) || !platform::moveFolder(staging, folder))
        return fail(unpackErrorText(name, folder));
    platform::flushFolder(portable);  // the rename itself; the files are safe either way
    return true;
}

}  // namespace

std::string foreignPlace(const std::string& portable, std::span<const RuntimeComponent> table) {
    for (const RuntimeComponent& component : table) {
        if (!missing(portable, component))
            continue;
        const std::string folder = joinPath(portable, component.folder);
        const std::string staging = stagingPath(portable, component);
        const std::string archive = archivePath(portable, component);
        if (claimOf(folder, false) == Claim::Foreign)
            return folder;
        const Claim stagingClaim = claimOf(staging, true);
        if (stagingClaim == Claim::Foreign)
            return staging;
        if (platform::fileExists(archive) != platform::Exists::No && !tagged(staging))
            return archive;
    }
    return {};
}

bool installRuntime(const std::string& portable, std::span<const RuntimeComponent> table, platform::ProgressBoard& board,
                    std::string& error) {
    const std::string foreign = foreignPlace(portable, table);
    if (!foreign.empty()) {
        error = occupiedText(foreign);
        return false;
    }
    // What a killed run left, proven ours above: the download file first, as it was made.
    for (const RuntimeComponent& component : table) {
        if (!missing(portable, component))
            continue;
        platform::removeFile(archivePath(portable, component));
        platform::removeTree(stagingPath(portable, component));
    }
    for (const RuntimeComponent& component : table) {
        if (!missing(portable, component))
            continue;
        if (!installComponent(portable, component, board, error))
            return false;
    }
    return true;
}

}  // namespace vlr
