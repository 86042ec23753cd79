#pragma once
// The settings dialog's image list ImgLst and the glyphs of its frame buttons,
// taken from the style's standard icons.
#include <QIcon>

namespace vrt::link {

// ImgLst entries: 0/1 show/hide the extended statistics view, 2/3 global/local
// configuration file, 4..7 help-line pictures, 8 close port, 9 open port,
// 10 stop test. Other indexes give an empty icon.
QIcon DialogImage(int index);

enum class FrameGlyph { About, Help, Exit, Apply, Undo, Load, Save, ClearStat, Link, Modem };
QIcon DialogGlyph(FrameGlyph glyph);

}  // namespace vrt::link
