#include "notas/namedbutton.h"

#include <QPushButton>

QPushButton* namedButton(const QString& text, const QString& accessibleName, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setAccessibleName(accessibleName);
    b->setAutoDefault(false);
    return b;
}
