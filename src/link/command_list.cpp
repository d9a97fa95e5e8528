/*******************************************************************************************
*  command_list.cpp — every command the window sends to the launcher
*
*  The rows say how each action is queued and answered; the functions below build the
*  bodies. An action is named here once, in its row.
*******************************************************************************************/
#include "link/command_list.h"

#include <utility>

#include "link/http.h"

namespace vlr {

namespace {

enum Row {
    kStateRow,
    kFrontRow,
    kBrowseRow,
    kLicenceRow,
    kDownloadCompilerRow,
    kInstallRow,
    kPurgeRow,
    kSelectRow,
    kOpenProfileRow,
    kBrowseSavesRow,
    kNewProfileRow,
    kPlayRow,
    kStopRow,
    kCheckUpdatesRow,
    kUpdateRow,
    kSettingsRow,
    kRowCount
};

// act when the answer may carry a new state document, api otherwise.
constexpr LauncherAction kRows[kRowCount] = {
    // One waiting state request is enough: it fetches whatever changed meanwhile.
    {"state", true, QueueRule::OneWaiting},
    {"front", false, QueueRule::AtStartUp},
    // The file dialogs may stay open for minutes: they must not hold up the queue.
    {"browse", false, QueueRule::BesideQueue},
    {"licence", false, QueueRule::InTurn},
    {"download-compiler", true, QueueRule::InTurn},
    {"install", true, QueueRule::InTurn},
    {"purge", true, QueueRule::InTurn},
    {"select", true, QueueRule::InTurn},
    {"open-profile", false, QueueRule::InTurn},
    {"browse-saves", false, QueueRule::BesideQueue},
    {"new-profile", true, QueueRule::InTurn},
    {"play", true, QueueRule::InTurn},
    {"stop", true, QueueRule::InTurn},
    {"check-updates", false, QueueRule::InTurn},
    {"update", true, QueueRule::InTurn},
    {"settings", false, QueueRule::InTurn},
};

constexpr const char* kEmptyBody = "{}";

void issue(Row row, std::string body, Completion done = {}) {
    const LauncherAction& action = kRows[row];
    if (action.appliesState)
        act(action.name, std::move(body), std::move(done), action.rule);
    else
        api(action.name, std::move(body), std::move(done), action.rule);
}

}  // namespace

std::span<const LauncherAction> launcherActions() { return kRows; }

// ---- start-up ----

Json probeState(const Link& link) { return post(link, kRows[kStateRow].name, kEmptyBody, kProbeTimeoutMs); }

Json askFront(const Link& link) { return post(link, kRows[kFrontRow].name, kEmptyBody, kProbeTimeoutMs); }

// ---- state ----

void requestState(Completion done) { issue(kStateRow, kEmptyBody, std::move(done)); }

// ---- Play page ----

void browseIso(Completion done) { issue(kBrowseRow, kEmptyBody, std::move(done)); }

void showLicence() { issue(kLicenceRow, kEmptyBody); }

void downloadCompiler(std::string_view iso, Completion done) {
    issue(kDownloadCompilerRow, isoBody(iso), std::move(done));
}

void installGame(std::string_view iso, Completion done) { issue(kInstallRow, isoBody(iso), std::move(done)); }

void purgeBuild(Completion done) { issue(kPurgeRow, kEmptyBody, std::move(done)); }

void selectProfile(std::string_view profile) { issue(kSelectRow, profileBody(profile)); }

void openProfileFolder(std::string_view profile) { issue(kOpenProfileRow, profileBody(profile)); }

void browseSaves(Completion done) { issue(kBrowseSavesRow, kEmptyBody, std::move(done)); }

void createProfile(std::string_view name, std::string_view saves, Completion done) {
    issue(kNewProfileRow, newProfileBody(name, saves), std::move(done));
}

void play(std::string_view profile, Completion done) { issue(kPlayRow, profileBody(profile), std::move(done)); }

void stopTask() { issue(kStopRow, kEmptyBody); }

// ---- Updates page ----

void checkForUpdates() { issue(kCheckUpdatesRow, kEmptyBody); }

void updateNow(Completion done) { issue(kUpdateRow, kEmptyBody, std::move(done)); }

// ---- Settings page ----

void storeSetting(std::string_view key, std::string_view value, Completion done) {
    issue(kSettingsRow, settingsBody(key, value), std::move(done));
}

// ---- bodies ----

std::string isoBody(std::string_view iso) { return "{\"iso\": " + quoteJson(iso) + "}"; }

std::string profileBody(std::string_view profile) { return "{\"profile\": " + quoteJson(profile) + "}"; }

std::string newProfileBody(std::string_view name, std::string_view saves) {
    return "{\"name\": " + quoteJson(name) + ", \"saves\": " + quoteJson(saves) + "}";
}

std::string settingsBody(std::string_view key, std::string_view value) {
    return "{\"values\": {" + quoteJson(key) + ": " + quoteJson(value) + "}}";
}

}  // namespace vlr
