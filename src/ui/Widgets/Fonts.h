// The windows' fonts. They are designed for "ＭＳ Ｐゴシック" and "ＭＳ ゴシック"; where those are
// missing (any Linux desktop) the IPA Gothic fonts and then Noto Sans CJK JP stand in, so
// that the Japanese texts keep about the same metrics.
#pragma once

#include <QFont>

class QWidget;

namespace sorbit::ui {

enum class FontFace { Proportional, Fixed };

// A font of `pixel_height` pixels (at 96 dpi) of the given face, with its fallbacks.
QFont JapaneseFont(FontFace face, int pixel_height);

// Gives `widget` the face and pixel height of its current font family ("ＭＳ ゴシック"
// means Fixed), keeping the fallbacks. A .ui file can only store whole points.
void ApplyJapaneseFont(QWidget* widget, int pixel_height);

}  // namespace sorbit::ui
