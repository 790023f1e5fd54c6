// The monitor's pictures, drawn rather than shipped: the program icon, the opening dialog's
// picture and the tool bar's 32 x 32 button images.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "ridaviri/ui/commands.h"

namespace ridaviri::gui {

QIcon ProgramIcon();
// The opening dialog's picture, width x height pixels.
QPixmap OpeningPicture(int width, int height);
QIcon ToolBarIcon(MonitorCommand command);

}  // namespace ridaviri::gui
