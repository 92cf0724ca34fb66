#pragma once

// What a user expects of the program, written down once for every test rather than read from the
// program: the effect and editor tables, the confirmation messages, the wizard's order and the
// Windows-1252 byte of every character the monkey types. A fault in the program then cannot hide
// behind the same fault in its test.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace expected {

// The effects that have a template, in the order of the effect list, and the whole list.
inline const QStringList kTemplateEffects = {"Fireworks", "Vector",     "3d",     "flower",
                                             "cube",      "spirograph", "Matrix", "Preloader"};
inline const QStringList kEffectEntries =
    kTemplateEffects + QStringList{"smoke", "circle", "dance"};
inline const QStringList kWebsiteKinds = {"Business Website", "Catalog Website", "Curriculum Vitae",
                                          "fun website", "Sports"};

inline const QHash<QString, QString> kEditorOfEffect = {
    {"Fireworks", "frm2fireworks"}, {"Vector", "frmvector"},
    {"flower", "frmFlowers"},       {"3d", "frm3d"},
    {"spirograph", "frmspiro"},     {"Matrix", "frmmatrix"},
    {"Preloader", "frmpre"},        {"cube", "frmcube"}};

inline const QHash<QString, QString> kMovieOfEffect = {
    {"Fireworks", "C:\\lumenquill\\Fireworks\\Fireworks.swf"},
    {"Vector", "C:\\lumenquill\\vector\\vector.swf"},
    {"3d", "C:\\lumenquill\\3d\\3d.swf"},
    {"flower", "C:\\lumenquill\\flowers\\Flowers.swf"},
    {"cube", "C:\\lumenquill\\cube\\cube.swf"},
    {"spirograph", "C:\\lumenquill\\spirograph\\spiro.swf"},
    {"Matrix", "C:\\lumenquill\\matrix\\matrix.swf"},
    {"Preloader", "c:\\lumen quill\\preloader.swf"}};

inline const QString kWizardSaved =
    "intro text for aboutus has now been saved you may now click preview";
inline const QHash<QString, QString> kConfirmation = {
    {"frmvector", "intro text for VECTOR has now been save you may now click preview"},
    {"frmFlowers", "intro text for Flowers has now been save you may now click preview"},
    {"frm3d", "intro text for 3d has now been save you may now click preview"},
    {"frmcube", "intro text for cube has now been save you may now click preview"},
    {"frmspiro", "intro text for spirograph has now been  set  you may now click preview"},
    {"frmmatrix", "intro text for matrix has now been save you may now click preview"},
    {"frmpre", "intro text for preloader has now been saved you may now click preview"},
    {"frm2fireworks", kWizardSaved},
    {"frmvision2", kWizardSaved},
    {"frmservices1", kWizardSaved},
    {"frmclients2", kWizardSaved},
    {"frmtitle", kWizardSaved}};

// The fireworks wizard in page order, with the button that moves on (on the last page: ends it).
struct WizardPage
{
    QString window;
    QString forward;
};
inline const QList<WizardPage> kWizard = {{"frm2fireworks", "cmdnext"},
                                          {"frmvision2", "Command1"},
                                          {"frmservices1", "cmdnextservice"},
                                          {"frmclients2", "cmdnextfield"},
                                          {"frmtitle", "cmdclose"}};

inline const QStringList kEditorWindows = {
    "frmvector", "frmFlowers",    "frm3d",      "frmcube",      "frmspiro",    "frmmatrix",
    "frmpre",    "frm2fireworks", "frmvision2", "frmservices1", "frmclients2", "frmtitle"};

// What a user types into the effect list: names that open something, and near misses that must
// open nothing (letter case, blanks, look-alike letters, invisible characters).
inline const QStringList kTypedEffects = {
    "Fireworks",   "Vector",       "3d",         "flower",
    "cube",        "spirograph",   "Matrix",     "Preloader",
    "smoke",       "circle",       "dance",      "Effects",
    "vector",      "VECTOR",       "Vector ",    " Vector",
    "Vecto",       "Vectorr",      "fireworks",  "FireWorks",
    "Fireworks.",  "3D",           "3d ",        "Flower",
    "flowers",     "Cube",         "cube\u00A0", "Spirograph",
    "spiro",       "matrix",       "preloader",  "Preloader\u00AD",
    "V\u0435ctor", "Matrix\u200B", "Fire works", "=Vector"};

// The characters beyond ASCII that the monkey types, each with the one byte Windows-1252 has
// for it; 0 marks a character the code page cannot hold, which must never be confirmed as saved.
struct Glyph
{
    char32_t codePoint;
    unsigned char byte;
};
// clang-format off
inline constexpr Glyph kGlyphs[] = {
    // Latin-1: the byte is the code point.
    {0x00E9, 0xE9}, {0x00FC, 0xFC}, {0x00DF, 0xDF}, {0x00F1, 0xF1}, {0x00A9, 0xA9}, {0x00AB, 0xAB},
    {0x00BB, 0xBB}, {0x00BF, 0xBF}, {0x00A0, 0xA0}, {0x00FF, 0xFF}, {0x00D8, 0xD8}, {0x00AD, 0xAD},
    {0x00B5, 0xB5},
    // What Windows-1252 puts at 0x80 to 0x9F.
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
    // Not in the code page: Cyrillic, Greek, Chinese, arrows, Latin Extended, a combining
    // accent, an emoji beyond the 16-bit range and a zero-width space.
    {0x0416, 0}, {0x03A9, 0}, {0x4E2D, 0}, {0x2192, 0}, {0x221E, 0}, {0x0151, 0},
    {0x0100, 0}, {0x0301, 0}, {0x1F600, 0}, {0x200B, 0}};
// clang-format on

inline std::optional<unsigned char> windows1252Byte(char32_t c)
{
    if (c < 0x80)
        return static_cast<unsigned char>(c);
    for (const Glyph& glyph : kGlyphs) {
        if (glyph.codePoint == c)
            return glyph.byte ? std::optional<unsigned char>(glyph.byte) : std::nullopt;
    }
    return std::nullopt;
}

// The bytes a confirmed save must leave: the text in Windows-1252 and CR LF; nothing when the
// text holds a character the code page lacks.
inline std::optional<QByteArray> expectedFileBytes(const QString& text)
{
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        const auto byte = windows1252Byte(c);
        if (!byte)
            return std::nullopt;
        bytes += char(*byte);
    }
    return bytes + "\r\n";
}

} // namespace expected
