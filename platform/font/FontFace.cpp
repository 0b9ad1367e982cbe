#include "platform/font/FontFace.h"

#include "platform/Text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

const char* const kPlatformFallbackFace = "DejaVu Sans Mono";

namespace {

// Windows face names that the content names, and the free faces with their
// metrics, best first. A name not listed is looked up as it is.
struct FaceNameRow {
    const char* windowsName;
    const char* freeFaces[2];
};

const FaceNameRow kFaceNames[] = {
    {"Lucida Console", {"DejaVu Sans Mono", nullptr}},
    {"Consolas", {"DejaVu Sans Mono", nullptr}},
    {"Lucida Sans Typewriter", {"DejaVu Sans Mono", nullptr}},
    {"Fixedsys", {"DejaVu Sans Mono", nullptr}},
    {"Terminal", {"DejaVu Sans Mono", nullptr}},
    {"Courier New", {"Liberation Mono", nullptr}},
    {"Courier", {"Liberation Mono", nullptr}},
    {"Arial", {"Liberation Sans", nullptr}},
    {"Helvetica", {"Liberation Sans", nullptr}},
    {"MS Sans Serif", {"Liberation Sans", nullptr}},
    {"Microsoft Sans Serif", {"Liberation Sans", nullptr}},
    {"System", {"Liberation Sans", nullptr}},
    {"Arial Narrow", {"Liberation Sans Narrow", "Liberation Sans"}},
    {"Times New Roman", {"Liberation Serif", nullptr}},
    {"Times", {"Liberation Serif", nullptr}},
    {"MS Serif", {"Liberation Serif", nullptr}},
    {"Georgia", {"DejaVu Serif", "Liberation Serif"}},
    {"Verdana", {"DejaVu Sans", nullptr}},
    {"Tahoma", {"DejaVu Sans", nullptr}},
    {"Segoe UI", {"DejaVu Sans", nullptr}},
    {"Trebuchet MS", {"DejaVu Sans", nullptr}},
    {"Comic Sans MS", {"DejaVu Sans", nullptr}},
    {"Lucida Sans Unicode", {"DejaVu Sans", nullptr}},
    {"Lucida Sans", {"DejaVu Sans", nullptr}},
};

// The free faces the table names come from files of the Debian packages the
// project installs (fonts-dejavu-core, fonts-liberation), taken by their
// path: which face fontconfig would pick depends on what else a machine has
// installed and configured, and a text must look the same on every machine
// (reference images hold it). Styles without a file of their own (DejaVu's
// italics are not in the core package) are made from the upright outlines.
// Fontconfig finds a face only where its file is missing, and faces of other
// names.
//
// The two packages name their files differently: DejaVu's core package has
// "Name.ttf" and "Name-Bold.ttf"; Liberation has "Name-Regular.ttf",
// "-Bold", "-Italic" and "-BoldItalic".
enum class FontPackage { DejaVuCore, Liberation };

struct FaceFiles {
    const char* family;
    FontPackage package;
    const char* stem;  // the files' path without the style and ".ttf"
};

const FaceFiles kFaceFiles[] = {
    {"DejaVu Sans Mono", FontPackage::DejaVuCore, "/usr/share/fonts/truetype/dejavu/DejaVuSansMono"},
    {"DejaVu Sans", FontPackage::DejaVuCore, "/usr/share/fonts/truetype/dejavu/DejaVuSans"},
    {"DejaVu Serif", FontPackage::DejaVuCore, "/usr/share/fonts/truetype/dejavu/DejaVuSerif"},
    {"Liberation Mono", FontPackage::Liberation, "/usr/share/fonts/truetype/liberation/LiberationMono"},
    {"Liberation Sans", FontPackage::Liberation, "/usr/share/fonts/truetype/liberation/LiberationSans"},
    {"Liberation Sans Narrow", FontPackage::Liberation, "/usr/share/fonts/truetype/liberation/LiberationSansNarrow"},
    {"Liberation Serif", FontPackage::Liberation, "/usr/share/fonts/truetype/liberation/LiberationSerif"},
};

// The file of one style (bit 0 bold, bit 1 italic); empty where the package has none.
std::string StyleFile(const FaceFiles& entry, int style) {
    static const char* const kDejaVu[4] = {".ttf", "-Bold.ttf", nullptr, nullptr};
    static const char* const kLiberation[4] = {"-Regular.ttf", "-Bold.ttf", "-Italic.ttf", "-BoldItalic.ttf"};
    const char* suffix = (entry.package == FontPackage::DejaVuCore ? kDejaVu : kLiberation)[style];
    return suffix ? std::string(entry.stem) + suffix : std::string();
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// FreeType's library and fontconfig's configuration, made once for the
// process; fonts are made on the game thread, the lock keeps tests and
// tools that make them elsewhere safe.
struct FontSystem {
    std::mutex lock;
    FT_Library library = nullptr;
    bool fontconfigReady = false;
    std::map<std::tuple<std::string, bool, bool>, PlatformFaceMatch> resolved;
};

FontSystem& System() {
    static FontSystem* system = new FontSystem();
    return *system;
}

bool FileExists(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

// The project's own file for a family and style: the style's file, else the
// upright file of the weight, else the regular file.
bool OwnFile(const std::string& family, bool bold, bool italic, PlatformFaceMatch* match) {
    for (const FaceFiles& entry : kFaceFiles) {
        if (!SameName(entry.family, family)) continue;
        const int style = (bold ? 1 : 0) + (italic ? 2 : 0);
        for (int choice : {style, style & 1, 0}) {
            const std::string file = StyleFile(entry, choice);
            if (file.empty() || !FileExists(file.c_str())) continue;
            match->family = entry.family;
            match->file = file;
            match->index = 0;
            return true;
        }
        return false;
    }
    return false;
}

// The best fontconfig match for one family; true when its family list
// holds that family (fontconfig always answers with some face).
bool MatchFamily(const std::string& family, bool bold, bool italic, PlatformFaceMatch* match) {
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (found == nullptr) return false;
    bool named = false;
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        if (SameName(reinterpret_cast<const char*>(value), family)) {
            named = true;
            match->family = reinterpret_cast<const char*>(value);
        }
    }
    int index = 0;
    if (named && FcPatternGetString(found, FC_FILE, 0, &value) == FcResultMatch) {
        match->file = reinterpret_cast<const char*>(value);
        FcPatternGetInteger(found, FC_INDEX, 0, &index);
        match->index = index;
    } else {
        named = false;
    }
    FcPatternDestroy(found);
    return named;
}

}  // namespace

bool PlatformFont_ResolveFace(const std::string& faceName, bool bold, bool italic, PlatformFaceMatch* match) {
    FontSystem& system = System();
    std::lock_guard<std::mutex> guard(system.lock);
    const auto key = std::make_tuple(faceName, bold, italic);
    if (auto it = system.resolved.find(key); it != system.resolved.end()) {
        *match = it->second;
        return true;
    }
    const FaceNameRow* row = nullptr;
    for (const FaceNameRow& entry : kFaceNames)
        if (SameName(entry.windowsName, faceName)) row = &entry;
    std::vector<std::string> families;
    if (row != nullptr) {
        for (const char* candidate : row->freeFaces)
            if (candidate != nullptr) families.emplace_back(candidate);
    } else if (!faceName.empty()) {
        families.push_back(faceName);
    }
    // Each family is tried in the project's own files first, then through
    // fontconfig; a name not found falls back to the default face, the same way.
    const auto find = [&](const std::string& family, PlatformFaceMatch* match) {
        if (OwnFile(family, bold, italic, match)) return true;
        if (!system.fontconfigReady) system.fontconfigReady = FcInit() == FcTrue;
        return system.fontconfigReady && MatchFamily(family, bold, italic, match);
    };
    PlatformFaceMatch found;
    bool ok = false;
    for (const std::string& family : families)
        if (!ok) ok = find(family, &found);
    if (!ok) {
        found.fallback = true;
        ok = find(kPlatformFallbackFace, &found);
    }
    if (!ok) return false;
    system.resolved[key] = found;
    *match = found;
    return true;
}

struct PlatformFont::FaceHandle {
    FT_Face face = nullptr;
    bool metricsKnown[256] = {};
    ~FaceHandle() {
        if (face != nullptr) {
            std::lock_guard<std::mutex> guard(System().lock);
            FT_Done_Face(face);
        }
    }
};

namespace {

// Loads (and, with render set, renders) one glyph with the style the face lacks added.
bool LoadGlyph(FT_Face face, uint8_t character, bool antialiased, bool makeBold, bool makeItalic, bool render) {
    const FT_UInt index = FT_Get_Char_Index(face, Text_Cp1252CodePoint(character));
    const FT_Int32 target = antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | target) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    if (makeItalic) FT_GlyphSlot_Oblique(slot);
    if (makeBold) FT_GlyphSlot_Embolden(slot);
    if (!render) return true;
    return FT_Render_Glyph(slot, antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0;
}

int32_t RoundedPixels(FT_Pos value) { return static_cast<int32_t>((value + 32) >> 6); }

}  // namespace

std::unique_ptr<PlatformFont> PlatformFont::Create(const PlatformFontDesc& desc, std::string* error) {
    auto fail = [&](const std::string& text) {
        if (error) *error = text;
        return std::unique_ptr<PlatformFont>();
    };
    if (desc.pixelHeight <= 0) return fail("font height must be positive");
    std::unique_ptr<PlatformFont> font(new PlatformFont());
    font->m_Desc = desc;
    if (!PlatformFont_ResolveFace(desc.faceName, desc.bold, desc.italic, &font->m_Face))
        return fail("no font face for \"" + desc.faceName + "\" and no fallback face");
    font->m_Handle = std::make_unique<FaceHandle>();
    {
        FontSystem& system = System();
        std::lock_guard<std::mutex> guard(system.lock);
        if (system.library == nullptr && FT_Init_FreeType(&system.library) != 0) {
            system.library = nullptr;
            return fail("FreeType could not start");
        }
        if (FT_New_Face(system.library, font->m_Face.file.c_str(), font->m_Face.index, &font->m_Handle->face) != 0) {
            font->m_Handle->face = nullptr;
            return fail("cannot open font file " + font->m_Face.file);
        }
    }
    FT_Face face = font->m_Handle->face;
    if (!FT_IS_SCALABLE(face) || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(desc.pixelHeight)) != 0)
        return fail("cannot size font " + font->m_Face.file);
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    font->m_MakeBold = desc.bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    font->m_MakeItalic = desc.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    // Cell height from the face's Windows ascent and descent, as a screen
    // font reports them; the typographic values where the face has none.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int64_t ppem = desc.pixelHeight, units = face->units_per_EM;
    if (os2 != nullptr && os2->version != 0xFFFF && units > 0 && os2->usWinAscent + os2->usWinDescent > 0) {
        font->m_Ascent = static_cast<int32_t>((os2->usWinAscent * ppem + units / 2) / units);
        font->m_Descent = static_cast<int32_t>((os2->usWinDescent * ppem + units / 2) / units);
    } else {
        font->m_Ascent = RoundedPixels(face->size->metrics.ascender);
        font->m_Descent = RoundedPixels(-face->size->metrics.descender);
    }
    if (font->GetHeight() <= 0) font->m_Ascent = desc.pixelHeight;
    return font;
}

PlatformFont::~PlatformFont() = default;

const PlatformGlyphMetrics& PlatformFont::GetGlyphMetrics(uint8_t character) {
    PlatformGlyphMetrics& m = m_Metrics[character];
    if (m_Handle->metricsKnown[character]) return m;
    m_Handle->metricsKnown[character] = true;
    FT_Face face = m_Handle->face;
    if (!LoadGlyph(face, character, m_Desc.antialiased, m_MakeBold, m_MakeItalic, false)) return m;
    m.advance = RoundedPixels(face->glyph->advance.x);
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    if (box.xMax > box.xMin) {
        m.abcA = static_cast<int32_t>(box.xMin >> 6);  // floor
        m.abcB = static_cast<int32_t>((box.xMax + 63) >> 6) - m.abcA;
    }
    m.abcC = m.advance - m.abcA - m.abcB;
    return m;
}

bool PlatformFont::DrawCharacter(uint8_t character, int32_t x, int32_t y, uint32_t* pixels, int32_t width,
                                 int32_t height, int32_t pitchPixels) {
    FT_Face face = m_Handle->face;
    if (!LoadGlyph(face, character, m_Desc.antialiased, m_MakeBold, m_MakeItalic, true)) return false;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const int32_t left = x + face->glyph->bitmap_left;
    const int32_t top = y + m_Ascent - face->glyph->bitmap_top;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
    for (int32_t row = 0; row < static_cast<int32_t>(bitmap.rows); ++row) {
        const int32_t py = top + row;
        if (py < 0 || py >= height) continue;
        const uint8_t* source = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
        for (int32_t column = 0; column < static_cast<int32_t>(bitmap.width); ++column) {
            const int32_t px = left + column;
            if (px < 0 || px >= width) continue;
            const uint32_t ink = mono ? ((source[column >> 3] >> (7 - (column & 7))) & 1) * 255u : source[column];
            uint32_t& pixel = pixels[static_cast<size_t>(py) * static_cast<size_t>(pitchPixels) + static_cast<size_t>(px)];
            if (ink > (pixel & 0xFF)) pixel = (pixel & 0xFF000000u) | ink << 16 | ink << 8 | ink;
        }
    }
    return true;
}
