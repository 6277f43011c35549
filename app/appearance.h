#pragma once
// The program's look on a Linux desktop: the fonts its layouts name, and the
// skin shared by all windows.

class QApplication;

namespace appearance {

// The layouts name the Windows fonts "宋体" and "MS Sans Serif"; map them to
// installed fonts that carry Chinese glyphs.
void substituteWindowsFonts();
// Loads the skin style sheet from the resources. Controls whose dynamic
// property "tag" is 99 keep the plain look.
void applySkin(QApplication &app);

} // namespace appearance
