#pragma once

class QApplication;

namespace stylor {

/// The look of Stylor: the Fusion style, a calm slate palette and a narrow 11-pixel sans-serif
/// font, so that every caption of the fixed layout fits.
void ApplyAppearance(QApplication& app);

}  // namespace stylor
