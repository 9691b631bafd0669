#pragma once

#include <QFont>

namespace velkan::Fonts {

// The face names the program's forms are designed for; they resolve to the
// metric-compatible IPA faces (or another Japanese face) on this platform.
inline constexpr const char16_t *kFormFace = u"ＭＳ Ｐゴシック";
inline constexpr const char16_t *kFixedFace = u"ＭＳ ゴシック";

// Registers the substitutions once; call before the first window is built.
void registerSubstitutions();
// The 9-point face every form and dialog uses.
QFont formFont();
// The fixed-pitch face the lyric preview draws with.
QFont fixedFont(int pointSize);

} // namespace velkan::Fonts
