#pragma once

#include "platform/DialogTemplate.h"

#include <QFont>
#include <QRect>
#include <QString>
#include <vector>

class QWidget;

namespace brivox {

// Dialog units of a font: x = dlu * average character width / 4, y = dlu * line height / 8.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    QRect ToPixels(int x, int y, int cx, int cy) const;
    int X(int dlu) const;
    int Y(int dlu) const;

private:
    double m_charWidth;
    double m_lineHeight;
};

// The font a dialog template names, at its point size.
QFont DialogFont(const CDialogTemplate& dialog);

// Makes the template's controls as children of the parent, in template order, each carrying its
// id, window class and style, and sizes the parent to the dialog. Returns them in that order.
std::vector<QWidget*> BuildDialog(QWidget* parent, const CDialogTemplate& dialog);

// Gives a control of another class the place of one the builder made (same parent): its id,
// window class, style, geometry, state and stacking. The original is then the caller's to delete.
void TakeControlPlace(QWidget* replacement, const QWidget* original);

// The kind query over built controls.
QWidget* ControlById(const QWidget* parent, int id);
int ControlId(const QWidget* control);
QString ControlClass(const QWidget* control);
unsigned ControlStyle(const QWidget* control);

} // namespace brivox
