#include "ui/Widgets/Fonts.h"

#include <QStringList>
#include <QWidget>

namespace sorbit::ui {

QFont JapaneseFont(FontFace face, int pixel_height) {
  QFont font;
  if (face == FontFace::Fixed) {
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::TypeWriter);
  } else {
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
  }
  font.setPixelSize(pixel_height);
  return font;
}

void ApplyJapaneseFont(QWidget* widget, int pixel_height) {
  const FontFace face = widget->font().family() == QStringLiteral("ＭＳ ゴシック")
                            ? FontFace::Fixed
                            : FontFace::Proportional;
  widget->setFont(JapaneseFont(face, pixel_height));
}

}  // namespace sorbit::ui
