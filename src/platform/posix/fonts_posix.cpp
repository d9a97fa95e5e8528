/*******************************************************************************************
*  fonts_posix.cpp — font files by role through fontconfig
*
*  Open Sans (regular and semibold), DejaVu Sans Mono and Noto Sans Symbols2 stand in for the
*  Windows faces. fontconfig always answers with some font, so a match counts only when its
*  family is the one asked for; anything else is reported as missing and the font loader's
*  fallbacks apply. The answers are looked up once per process.
*******************************************************************************************/
#include "platform/platform.h"

#include <array>
#include <memory>

#include <fontconfig/fontconfig.h>

namespace vlr::platform {

namespace {

struct Wanted {
    const char* pattern;
    const char* family;
};

constexpr std::array<Wanted, 4> kWanted{{
    {"Open Sans:style=Regular", "Open Sans"},
    {"Open Sans:style=SemiBold", "Open Sans"},
    {"DejaVu Sans Mono:style=Book", "DejaVu Sans Mono"},
    {"Noto Sans Symbols2", "Noto Sans Symbols2"},
}};

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct ConfigDeleter {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;
using Config = std::unique_ptr<FcConfig, ConfigDeleter>;

const FcChar8* fc(const char* text) { return reinterpret_cast<const FcChar8*>(text); }

std::string matchFile(FcConfig* config, const Wanted& wanted) {
    Pattern pattern(FcNameParse(fc(wanted.pattern)));
    if (!pattern) return {};
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(config, pattern.get(), &result));
    if (!match || result != FcResultMatch) return {};

    // A font may list several family names (e.g. "Open Sans" and "Open Sans Semibold").
    bool familyMatches = false;
    FcChar8* family = nullptr;
    for (int i = 0; !familyMatches && FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        familyMatches = FcStrCmpIgnoreCase(family, fc(wanted.family)) == 0;
    }
    FcChar8* file = nullptr;
    if (!familyMatches || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) return {};
    return reinterpret_cast<const char*>(file);
}

}  // namespace

std::string fontFilePath(int role) {
    static const std::array<std::string, 4> paths = [] {
        std::array<std::string, 4> found;
        Config config(FcInitLoadConfigAndFonts());
        if (!config) return found;
        for (std::size_t i = 0; i < found.size(); ++i) found[i] = matchFile(config.get(), kWanted[i]);
        return found;
    }();
    if (role < 0 || role >= static_cast<int>(paths.size())) return {};
    return paths[static_cast<std::size_t>(role)];
}

}  // namespace vlr::platform
