#pragma once

class QWebEngineCertificateError;
class QWidget;

// A site whose certificate fails: the user is warned and the page is refused unless they
// choose to go on.
class CertificateWarning final
{
public:
    static void answer(QWidget *parent, const QWebEngineCertificateError &error);
};
