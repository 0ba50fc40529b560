#include "Secrets.h"

#include <QStringList>

namespace kelvo {

namespace {
QStringList& known() {
    static QStringList secrets;
    return secrets;
}
} // namespace

void Secrets::add(const QString& secret) {
    if (secret.size() < shortestMasked) {
        return;
    }
    for (const QString& form : {secret, QString(secret).replace(u'/', QStringLiteral("\\/"))}) {
        if (!known().contains(form)) {
            known().append(form);
        }
    }
}

QString Secrets::masked(QString text) {
    for (const QString& secret : known()) {
        text.replace(secret, mask);
    }
    return text;
}

} // namespace kelvo
