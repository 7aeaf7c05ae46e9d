// The window's Song typeface (SimSun) with fallbacks that render Chinese where it is missing.
#include "app/cjk_font.h"

#include <QStringList>

namespace vexilo::app {

QFont songFont(double pointSize) {
    QFont font;
    // Windows names the face both ways; Noto and WenQuanYi cover GB2312 on Linux.
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(pointSize);
    font.setStyleHint(QFont::AnyStyle, QFont::PreferDefault);
    return font;
}

} // namespace vexilo::app
