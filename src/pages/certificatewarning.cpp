#include "certificatewarning.h"

#include "asker.h"

#include <QWebEngineCertificateError>

void CertificateWarning::answer(Asker &asker, QWidget *parent, const QWebEngineCertificateError &error)
{
    QWebEngineCertificateError decision = error;
    if (!decision.isOverridable()) {
        decision.rejectCertificate();
        return;
    }
    const QString question = QStringLiteral("网站 %1 的安全证书有问题：%2\n\n"
                                            "继续访问可能让他人看到或篡改您发送和收到的内容（例如密码）。\n"
                                            "除非您确信这个网站可信，否则请不要继续。\n\n是否仍要继续访问？")
                                 .arg(error.url().host(), error.description());
    if (asker.allow(parent, question))
        decision.acceptCertificate();
    else
        decision.rejectCertificate();
}
