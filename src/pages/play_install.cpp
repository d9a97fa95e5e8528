/*******************************************************************************************
*  play_install.cpp — the "Installation" card: checklist, compiler download, build, purge
*
*  Commands that need the game disc carry the ISO field's text. While the launcher runs a task
*  the buttons that would start another stay disabled; a started task shows the Console.
*******************************************************************************************/
#include <algorithm>
#include <cmath>
#include <string>

#include "link/command_list.h"
#include "link/json.h"
#include "link/state.h"
#include "pages/pages.h"
#include "pages/play.h"
#include "ui/fonts.h"
#include "ui/rows.h"
#include "ui/widgets.h"

namespace vlr {

namespace {

constexpr float kStepRow = 29;   // a row of installation steps
constexpr float kBlockTop = 14;  // the steps' line to the text block under it

const char* const kDownloadLabel = "Accept the licence and download";
const char* const kBuildLabel = "Generate the code and build the game";
const char* const kBuildNote = "30 to 90 minutes the first time, a few minutes after an update.";
const char* const kDeleteLabel = "Delete the build files";

// Sends the ISO field with a command that starts a task; on success the field follows the
// launcher again and the window shows the task's output. A path typed while the command was
// on its way stays: the next state document would otherwise overwrite it.
void startWithIso(void (*command)(std::string_view iso, Completion done)) {
    std::string sent = playRecords().iso.text;
    command(sent, [sent](const Json&) {
        EditBuffer& iso = playRecords().iso;
        if (iso.text == sent) iso.edited = false;
        uiState().requestedPage = pageIndex(consolePage);
    });
}

void drawStepMarker(float centreX, float centreY, bool done) {
    const float s = uiState().scale;
    const Vector2 centre{roundHalfAway(centreX), roundHalfAway(centreY)};
    if (done) {
        drawCalls().circle(centre, 8 * s, kDoneMarker);
        const Vector2 start{centre.x - 3.7f * s, centre.y + 0.3f * s};
        const Vector2 bend{centre.x - 1.3f * s, centre.y + 2.7f * s};
        const Vector2 end{centre.x + 3.7f * s, centre.y - 2.7f * s};
        drawCalls().line(start, bend, 1.7f * s, kTextPrimary);
        drawCalls().line(bend, end, 1.7f * s, kTextPrimary);
    } else {
        drawCalls().ring(centre, 6.5f * s, 8 * s, kStepPending);
    }
}

float checklist(const Json& steps, float x, float y, float w) {
    const std::size_t count = steps.isObject() ? steps.members.size() : 0;
    const float columnWidth = (w - sc(kColumnGap)) / 2;
    for (std::size_t i = 0; i < count && uiState().drawing; ++i) {
        const auto& [label, value] = steps.members[i];
        const bool done = isTrue(value);
        const float left = x + (sc(kColumnGap) + columnWidth) * static_cast<float>(i % 2);
        const float centreY = y + sc(kLine14 / 2) + sc(kStepRow) * static_cast<float>(i / 2);
        drawStepMarker(left + sc(8), centreY, done);  // the marker's middle; the label 26 in
        drawTextRun(kRegular14, label, left + sc(26), centreY, done ? kTextPrimary : kTextSecondary, 0);
    }
    return sc(kStepRow) * static_cast<float>((count + 1) / 2) + sc(8);  // 8 below the last row
}

float compilerBlock(const Json& compiler, bool busy, float x, float top, float w) {
    if (uiState().drawing) {
        const float thickness = std::max(1.0f, roundHalfAway(uiState().scale));
        drawCalls().rectangle(toRaylib(snap({x, top, w, thickness})), kLine);
    }
    Column content = column(x, top, w);
    skip(content, sc(kBlockTop));
    skip(content, drawTextBlock(kRegular14, asText(get(compiler, "text")), x, content.y, w, sc(kLine14), kTextPrimary, false));
    skip(content, sc(kBlockGap));
    Row row = nextRow(content, sc(kControlHeight), sc(kTextGap), sc(kControlGap));
    const bool licence = !asText(get(compiler, "licence")).empty();
    const Rect download = cell(row, buttonWidth(kDownloadLabel));
    if (button(download.x, download.y, kDownloadLabel, kPrimary, !busy && licence)) startWithIso(downloadCompiler);
    const Rect terms = cell(row, buttonWidth("Licence terms"));
    if (licence && button(terms.x, terms.y, "Licence terms", kQuiet)) showLicence();
    skip(content, drawTextBlock(kRegular12_5, asText(get(compiler, "hint")), x, content.y, w, sc(kLine12_5), kTextSecondary, false));
    skip(content, sc(16));  // before the next block
    return content.y;
}

float buildRow(bool enabled, float x, float top, float w) {
    const float labelWidth = buttonWidth(kBuildLabel);
    const std::string_view note = kBuildNote;
    const std::vector<TextLine> lines = wrapLines(kRegular13, note, w - labelWidth - sc(kHelpGap));
    const float noteHeight = sc(kLine13) * static_cast<float>(lines.size());
    const float row = std::max(noteHeight, sc(kControlHeight));
    if (button(x, top + (row - sc(kControlHeight)) / 2, kBuildLabel, kSecondary, enabled)) startWithIso(installGame);
    if (uiState().drawing) {
        for (std::size_t j = 0; j < lines.size(); ++j) {
            const float centreY = top + (row - noteHeight) / 2 + sc(kLine13) * (static_cast<float>(j) + 0.5f);
            drawTextRun(kRegular13, note.substr(lines[j].start, lines[j].length), x + labelWidth + sc(kHelpGap),
                                centreY, kTextSecondary, 0);
        }
    }
    return top + row;
}

float purgeBlock(const std::string& purge, bool busy, float x, float top, float w) {
    PlayRecords& records = playRecords();
    if (button(x, top + sc(kHelpGap), "Free up disk space", kQuiet, !busy)) records.purgeConfirm = !records.purgeConfirm;
    float bottom = top + sc(kHelpGap) + sc(kControlHeight);
    if (records.purgeConfirm) {
        const float text =
            drawTextBlock(kRegular12_5, purge, x, bottom + sc(kTextGap), w, sc(kLine12_5), kTextSecondary, false);
        Row row = rowAt(x, bottom + sc(kTextGap) + text + sc(kBlockGap), w, sc(kControlHeight), sc(kControlGap));
        const Rect remove = cell(row, buttonWidth(kDeleteLabel));
        if (button(remove.x, remove.y, kDeleteLabel, kPrimary, !busy)) {
            purgeBuild([](const Json&) {
                playRecords().purgeConfirm = false;
                uiState().requestedPage = pageIndex(consolePage);
            });
        }
        const Rect cancel = cell(row, buttonWidth("Cancel"));
        if (const LocalControls local; button(cancel.x, cancel.y, "Cancel", kQuiet)) records.purgeConfirm = false;
        bottom = row.top + row.height;
    }
    return bottom;
}

}  // namespace

float installSection(float x, float y, float w) {
    const Json& state = windowState().state;
    const bool busy = taskRunning(state);
    float top = y + checklist(get(state, "steps"), x, y, w);

    const Json& compiler = get(state, "compiler");
    const bool needsCompiler = !asText(get(compiler, "text")).empty();
    if (needsCompiler) top = compilerBlock(compiler, busy, x, top, w);
    top = buildRow(!busy && !needsCompiler, x, top, w);

    const std::string& purge = asText(get(state, "purge"));
    if (purge.empty())
        playRecords().purgeConfirm = false;
    else
        top = purgeBlock(purge, busy, x, top, w);
    return top - y;
}

}  // namespace vlr
