/*******************************************************************************************
*  fonts_posix.cpp — font files by role, and fallback fonts, through fontconfig
*
*  Open Sans (regular and semibold), DejaVu Sans Mono and Noto Sans Symbols2 stand in for the
*  Windows faces. fontconfig always answers with some font, so a match counts only when its
*  family is the one asked for; anything else is reported as missing and the font loader's
*  fallbacks apply. The answers are looked up once per process.
*
*  For characters the faces lack, fontconfig's own fallback list behind the regular face (the
*  sorted, trimmed list that desktop toolkits draw with) is asked for the first font whose
*  character set holds the code point, so whatever the distribution installs for a script is
*  used.
*******************************************************************************************/
#include "platform/platform.h"

#include <array>
#include <memory>
#include <string_view>
#include <vector>

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
struct FontSetDeleter {
    void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
struct CharSetDeleter {
    void operator()(FcCharSet* set) const { FcCharSetDestroy(set); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;
using Config = std::unique_ptr<FcConfig, ConfigDeleter>;
using FontSet = std::unique_ptr<FcFontSet, FontSetDeleter>;
using CharSet = std::unique_ptr<FcCharSet, CharSetDeleter>;

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

// Only outline files that the font loader reads; bitmap and Type 1 fonts cannot be baked.
bool isOutlineFile(std::string_view path) {
    if (path.size() < 4) return false;
    std::string extension(path.substr(path.size() - 4));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension == ".ttf" || extension == ".otf" || extension == ".ttc";
}

struct Fallback {
    FontFace face;
    CharSet characters;
};

std::vector<Fallback> sortedFallbacks() {
    std::vector<Fallback> list;
    Config config(FcInitLoadConfigAndFonts());
    if (!config) return list;
    Pattern pattern(FcNameParse(fc(kWanted[0].pattern)));
    if (!pattern) return list;
    FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    // Trimmed: a font that adds nothing to the ones before it is left out.
    FontSet sorted(FcFontSort(config.get(), pattern.get(), FcTrue, nullptr, &result));
    if (!sorted) return list;
    for (int i = 0; i < sorted->nfont; ++i) {
        const FcPattern* font = sorted->fonts[i];
        FcChar8* file = nullptr;
        FcCharSet* characters = nullptr;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetCharSet(font, FC_CHARSET, 0, &characters) != FcResultMatch) {
            continue;
        }
        const char* path = reinterpret_cast<const char*>(file);
        if (!isOutlineFile(path)) continue;
        Fallback entry;
        entry.face.path = path;
        int index = 0;
        entry.face.index = FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch ? index & 0xFFFF : 0;
        FcChar8* family = nullptr;
        if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch) entry.face.name = reinterpret_cast<const char*>(family);
        entry.characters.reset(FcCharSetCopy(characters));
        list.push_back(std::move(entry));
    }
    return list;
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

FontFace fallbackFontFor(int codepoint) {
    static const std::vector<Fallback> fallbacks = sortedFallbacks();
    if (codepoint <= 0 || codepoint > 0x10FFFF) return {};
    for (const Fallback& entry : fallbacks) {
        if (FcCharSetHasChar(entry.characters.get(), static_cast<FcChar32>(codepoint))) return entry.face;
    }
    return {};
}

}  // namespace vlr::platform
