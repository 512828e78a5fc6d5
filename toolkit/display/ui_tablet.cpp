// toolkit/display/ui_tablet.cpp
#include "toolkit/display/ui_tablet.h"

void kcUITablet::draw(const std::wstring& text, const kcPoint& point, const kcColor& primary, const kcColor& secondary,
                      const kcUIFormat& format, Layers layer) {
    sketch_.addText(kcUISketchText{text, point, primary, secondary, format, static_cast<int>(layer)});
}
