#include "ui/ScaleSpinEdit.h"

#include <QKeyEvent>

#include <limits>

TScaleSpinEdit::TScaleSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setValue(kInitialValue);
}

void TScaleSpinEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    const bool typesNothing = typed.isEmpty() || event->key() == Qt::Key_Delete;
    const bool digit = typed.size() == 1 && typed.at(0) >= QLatin1Char('0') && typed.at(0) <= QLatin1Char('9');
    if (!typesNothing && !digit) {
        event->accept();
        return;
    }
    QSpinBox::keyPressEvent(event);
}
