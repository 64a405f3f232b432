#pragma once

class Asker;
class QWebEngineCertificateError;
class QWidget;

// A site whose certificate fails: the user is warned and the page is refused unless they
// choose to go on.
class CertificateWarning final
{
public:
    static void answer(Asker &asker, QWidget *parent, const QWebEngineCertificateError &error);
};
