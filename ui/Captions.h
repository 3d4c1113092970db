// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

namespace camber::ui {

/// True when the text of a control shows whole with its present font: the caption of a label,
/// a command button (every line of a broken caption), a check box or option button (beside its
/// indicator) and a frame, the text of a text box and the chosen item of a drop-down list. Other controls and empty texts fit.
bool captionFits(const QWidget* control);

/// Steps the font of every control of a window whose text does not fit down by half a point
/// until it fits (or reaches 6 points, the smallest a caption stays readable at). The fonts
/// of the desktop are wider than those the windows were designed for; this keeps every
/// designed size and position. A frame's smaller title leaves its controls' fonts alone.
void fitCaptions(QWidget* window);

} // namespace camber::ui
