#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's own pictures by their resource numbers: the program icon
// 128, the blink frames 141 and 142, the main window's pictures 143, 145 and
// 146, the dial dialog's 148 and the information dialog's bitmap 136.
namespace tarnwick {

// A null icon for a number without artwork. The same number gives the same
// icon (same cacheKey) for the whole run.
QIcon Icon(int resourceId);

// The picture at the given size (its natural size when the size is empty);
// null for a number without artwork.
QPixmap Pixmap(int resourceId, QSize size = {});

} // namespace tarnwick
