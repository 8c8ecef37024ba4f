#include "ui/password_style.h"

namespace ferrocase {

AsteriskPasswordStyle::AsteriskPasswordStyle(QObject* owner) {
    setParent(owner);
}

int AsteriskPasswordStyle::styleHint(StyleHint hint, const QStyleOption* option,
                                     const QWidget* widget, QStyleHintReturn* data) const {
    if (hint == SH_LineEdit_PasswordCharacter) {
        return u'*';
    }
    return QProxyStyle::styleHint(hint, option, widget, data);
}

} // namespace ferrocase
