// The console's look: Fusion with a dark palette, registered as "Carbon", and
// a Chinese face for every text.
#pragma once

class QApplication;
class QStyle;

namespace tavrin {

inline constexpr const char* kCarbonStyleName = "Carbon";

// A new Carbon style object (its objectName is "Carbon").
QStyle* CreateCarbonStyle();

// Applies the style, its palette and font to the application and sets the
// application name "Tavrin" (the title of windows without one of their own).
void ApplyCarbonStyle(QApplication& app);

} // namespace tavrin
