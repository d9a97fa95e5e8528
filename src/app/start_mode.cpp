/*******************************************************************************************
*  start_mode.cpp — the start mode: installation, environment, window mode, result
*******************************************************************************************/
#include "app/start_mode.h"

#include "link/session.h"
#include "shell/shell.h"

namespace vlr {

std::string uncheckableText(const std::string& path) {
    return "Could not check the installation next to this file: the system does not tell whether\n" + path +
           "\nexists (access denied?). Check the folder's permissions, then start again.";
}

std::string missingSystemProgramsText() {
    if (!platform::runtimeFromSystem())
        return {};
    struct Need {
        const char* program;
        const char* package;
    };
    static const Need kNeeds[] = {{"python3", "python3"}, {"git", "git"}, {"bsdtar", "libarchive-tools"}};
    std::string programs, packages;
    for (const Need& need : kNeeds) {
        if (!platform::findProgram(need.program).empty())
            continue;
        programs += std::string(programs.empty() ? "" : ", ") + need.program;
        packages += std::string(" ") + need.package;
    }
    if (programs.empty())
        return {};
    return "The launcher needs programs that are not installed: " + programs +
           ".\nInstall the package(s) with your package manager, for example:\n\n    sudo apt install" + packages +
           "\n\nthen start again.";
}

namespace {

std::string launcherScript(const std::string& portable) {
    return joinPath(joinPath(joinPath(portable, "source"), "tools"), "launcher.py");
}

}  // namespace

std::string firstStartLockName(const std::string& portable) {
    // Named like the window's instance lock, after the same script path.
    return sessionName(launcherScript(portable)) + "-first-start";
}

StartCalls productStartCalls() {
    StartCalls calls;
    calls.programPath = platform::programPath();
    calls.components = productComponents();
    calls.windowMode = windowMode;
    calls.showError = [](const std::string& text) { platform::showError(kProductName, text); };
    calls.startDetached = platform::startDetached;
    const std::span<const RuntimeComponent> table = calls.components;
    calls.firstStart = [table](const std::string& portable, std::string& error) {
        // Two starts close together: the second waits here (in the system, not polling) and
        // finds the installation complete, instead of clearing the first one's files.
        platform::InstanceLock lock = platform::waitForLock(firstStartLockName(portable));
        if (!lock.first) {
            error = lock.problem;
            return false;
        }
        const InstallCheck check = checkInstallation(portable, table);
        if (check.complete == platform::Exists::Yes)
            return true;
        if (check.complete == platform::Exists::Unknown) {
            error = uncheckableText(check.path);
            return false;
        }
        // Told before any window shows; installRuntime would find it too.
        const std::string foreign = foreignPlace(portable, table);
        if (!foreign.empty()) {
            error = occupiedText(foreign);
            return false;
        }
        platform::ProgressBoard board;
        return platform::runWithProgressWindow(board, [&] { return installRuntime(portable, table, board, error); });
    };
    return calls;
}

int startMode(const StartCalls& calls) {
    const std::string& program = calls.programPath;
    if (program.empty()) {
        calls.showError("Velocrash Rebuilt cannot find its own program file, so it does not know where its "
                        "files belong.");
        return 1;
    }
    const std::string portable = parentFolder(program);
    platform::removeFile(program + ".old");  // left by an update; whatever happens is fine

    const std::string missing = missingSystemProgramsText();
    if (!missing.empty()) {
        calls.showError(missing);
        return 1;
    }

    const InstallCheck check = checkInstallation(portable, calls.components);
    if (check.complete == platform::Exists::Unknown) {
        calls.showError(uncheckableText(check.path));
        return 1;
    }
    if (check.complete == platform::Exists::No) {
        std::string error;
        if (!calls.firstStart(portable, error)) {
            calls.showError(error);
            return 1;
        }
    }

    platform::setEnv("VLR_PORTABLE", portable);
    platform::setEnv("VLR_LAUNCHER_EXE", program);
    platform::removeEnv("PYTHONHOME");
    platform::removeEnv("PYTHONPATH");

    const std::string python = platform::runtimeFromSystem()
                                   ? platform::findProgram("python3")
                                   : joinPath(joinPath(portable, "python"), "pythonw.exe");
    const std::string script = launcherScript(portable);
    const char* const argv[5] = {"Velocrash", "--python", python.c_str(), "--script", script.c_str()};

    switch (static_cast<WindowResult>(calls.windowMode(5, argv))) {
    case WindowResult::Replaced:
        calls.startDetached({program}, portable);
        return 0;
    case WindowResult::NoWindow:
        calls.startDetached({python, script}, portable);
        return 0;
    case WindowResult::LauncherFailed:
        calls.showError(kLauncherFailedText);
        return 1;
    case WindowResult::Explained:
        return 1;
    default:
        return 0;
    }
}

}  // namespace vlr
