#pragma once

// Small conversions the controls share when mirroring their properties onto toolkit widgets.

#include <QPalette>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/object/value.h"

class QWidget;

namespace fw {

QString Q(const std::string& s);

QColor ToQColor(const fw::Color& c);

// The framework's alignment codes: 0 default (left), 1 left, 2 centre, 3 right;
// OutOfBoundsException, naming the property, for any other.
Qt::Alignment HorizontalAlignment(std::int32_t code, std::string_view property);

void SetPaletteColor(QWidget* widget, QPalette::ColorRole role, const fw::Color& color);

}  // namespace fw
