/*******************************************************************************************
*  command_list.h — every command the window sends to the launcher
*
*  One named function per action. It owns the action's name, builds its body (every text
*  quoted with quoteJson, with the spacing the launcher has always been sent) and carries its
*  queue rule. Pages call these and never name an action themselves, so this list is the
*  whole of what the window can ask of a launcher; a test holds it against the demo launcher.
*
*  Adding a command: a row in command_list.cpp and its function here and there.
*******************************************************************************************/
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "link/commands.h"
#include "link/json.h"
#include "link/link.h"

namespace vlr {

// One row of the list.
struct LauncherAction {
    const char* name;    // the action, posted as "POST /api/" + name
    bool appliesState;   // act: an answer that carries "steps" becomes the state document
    QueueRule rule;
};

// Every action the window sends, for the check against a launcher.
std::span<const LauncherAction> launcherActions();

// ---- start-up (posted at once, before the queue runs) ----

Json probeState(const Link& link);   // is the launcher of the session file still alive?
Json askFront(const Link& link);     // second instance: bring the running window forward

// ---- state ----

void requestState(Completion done = {});

// ---- Play page ----

void browseIso(Completion done);
void showLicence();
void downloadCompiler(std::string_view iso, Completion done);
void installGame(std::string_view iso, Completion done);
void purgeBuild(Completion done);
void selectProfile(std::string_view profile);
void openProfileFolder(std::string_view profile);
void browseSaves(Completion done);
void createProfile(std::string_view name, std::string_view saves, Completion done);
void play(std::string_view profile, Completion done);
void stopTask();

// ---- Updates page ----

void checkForUpdates();
void updateNow(Completion done);

// ---- Settings page ----

void storeSetting(std::string_view key, std::string_view value, Completion done);

// ---- bodies ----

std::string isoBody(std::string_view iso);
std::string profileBody(std::string_view profile);
std::string newProfileBody(std::string_view name, std::string_view saves);
std::string settingsBody(std::string_view key, std::string_view value);

}  // namespace vlr
