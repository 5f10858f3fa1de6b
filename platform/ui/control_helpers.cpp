#include "platform/ui/control_helpers.h"

#include <QWidget>

#include "platform/object/object.h"

namespace fw {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QColor ToQColor(const fw::Color& c) { return QColor(c.red, c.green, c.blue); }

Qt::Alignment HorizontalAlignment(std::int32_t code, std::string_view property) {
  switch (code) {
    case 0:
    case 1: return Qt::AlignLeft;
    case 2: return Qt::AlignHCenter;
    case 3: return Qt::AlignRight;
  }
  throw OutOfBoundsException(std::string(property) + " has no alignment " + std::to_string(code));
}

void SetPaletteColor(QWidget* widget, QPalette::ColorRole role, const fw::Color& color) {
  const QColor wanted = ToQColor(color);
  // Setting a palette is costly (it is propagated and every child is told), and controls are
  // mostly given the colours they already show.
  if (widget->palette().color(role) == wanted) return;
  QPalette palette = widget->palette();
  palette.setColor(role, wanted);
  widget->setPalette(palette);
}

}  // namespace fw
