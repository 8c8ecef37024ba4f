#pragma once

#include <QProxyStyle>

namespace ferrocase {

// Shows every character of a password box as "*".
class AsteriskPasswordStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit AsteriskPasswordStyle(QObject* owner);

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override;
};

} // namespace ferrocase
