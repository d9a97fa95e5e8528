/*******************************************************************************************
*  placement.cpp — the window comes back where it was left, at the zoom it had
*
*  Sections: zoom steps · the placement file · monitors
*
*  One small JSON file in the portable folder holds the last normal size and place, whether
*  the window was maximised, the display scale it was on and the zoom. It is replaced in one
*  step when the window closes and read once at the next start; anything odd in it (another
*  program's file, a half-edited one, a place no monitor shows any more, another scale) means
*  the computed placement is used, as if there were no file.
*******************************************************************************************/
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "link/json.h"
#include "platform/platform.h"
#include "shell/shell.h"

namespace vlr {

// ---- zoom steps ----

float zoomStep(float zoom, int direction) {
    constexpr std::size_t count = std::size(kZoomSteps);
    if (direction > 0) {
        for (float step : kZoomSteps)
            if (step > zoom + 0.001f) return step;
        return kZoomSteps[count - 1];
    }
    for (std::size_t i = count; i-- > 0;)
        if (kZoomSteps[i] < zoom - 0.001f) return kZoomSteps[i];
    return kZoomSteps[0];
}

// ---- the placement file ----

namespace {

constexpr const char* kMarker = "velocrash-window";  // tells our file from anyone else's
constexpr const char* kFileName = "window-placement.json";

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value));
    return text;
}

bool readNumber(const Json& object, std::string_view key, double& out) {
    const Json& value = get(object, key);
    if (!value.isNumber()) return false;
    char* end = nullptr;
    out = std::strtod(value.text.c_str(), &end);
    return end != nullptr && *end == '\0' && std::isfinite(out);
}

bool readInt(const Json& object, std::string_view key, double low, double high, int& out) {
    double value = 0;
    if (!readNumber(object, key, value) || value != std::floor(value) || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

bool isZoomStep(float zoom) {
    for (float step : kZoomSteps)
        if (std::fabs(step - zoom) < 0.001f) return true;
    return false;
}

}  // namespace

std::string placementText(const SavedPlacement& p) {
    return std::string("{\"") + kMarker + "\": 1, \"x\": " + std::to_string(p.x) + ", \"y\": " + std::to_string(p.y) +
           ", \"width\": " + std::to_string(p.width) + ", \"height\": " + std::to_string(p.height) +
           ", \"maximized\": " + (p.maximized ? "true" : "false") + ", \"scale\": " + number(p.scale) +
           ", \"zoom\": " + number(p.zoom) + "}\n";
}

std::optional<SavedPlacement> parsePlacement(std::string_view text) {
    const Json doc = parseJson(text);
    if (!doc.isObject() || asText(get(doc, kMarker)) != "1") return std::nullopt;
    SavedPlacement p;
    constexpr double kFar = 1 << 20, kLargest = 1 << 15;
    double scale = 0, zoom = 0;
    const Json& maximized = get(doc, "maximized");
    if (!readInt(doc, "x", -kFar, kFar, p.x) || !readInt(doc, "y", -kFar, kFar, p.y) ||
        !readInt(doc, "width", 100, kLargest, p.width) || !readInt(doc, "height", 100, kLargest, p.height) ||
        !readNumber(doc, "scale", scale) || !readNumber(doc, "zoom", zoom) ||
        (maximized.kind != JsonKind::True && maximized.kind != JsonKind::False))
        return std::nullopt;
    p.maximized = isTrue(maximized);
    p.scale = static_cast<float>(scale);
    p.zoom = static_cast<float>(zoom);
    if (!(p.scale >= 1 && p.scale <= 16) || !isZoomStep(p.zoom)) return std::nullopt;
    return p;
}

bool placementFits(const SavedPlacement& p, const std::vector<MonitorArea>& monitors) {
    // The middle of the title bar is what the user needs to reach to move the window.
    const double x = p.x + p.width / 2.0, y = p.y + 8.0;
    for (const MonitorArea& m : monitors) {
        const bool inside = x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height;
        if (inside && std::fabs(m.scale - p.scale) < 0.01f) return true;
    }
    return false;
}

std::string placementPath() {
    const std::optional<std::string> portable = platform::getEnv("VLR_PORTABLE");
    if (!portable || portable->empty()) return {};
    std::string path = *portable;
    if (path.back() != '/' && path.back() != '\\') path += platform::pathSeparator();
    return path + kFileName;
}

std::optional<SavedPlacement> loadPlacement(const std::string& path) {
    std::string text;
    // A placement file is a few dozen bytes; a large one, or a link, a pipe or a device under
    // its name, is not ours.
    if (path.empty() || !platform::readSmallFile(path, 4096, text)) return std::nullopt;
    return parsePlacement(text);
}

}  // namespace vlr
