#include "ui/PasswordEdit.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace {

class TPasswordStarStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void MaskAsPassword(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    auto *mask = new TPasswordStarStyle;
    mask->setParent(edit);
    edit->setStyle(mask);
}
