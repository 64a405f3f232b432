#include "versiontext.h"

using namespace Qt::StringLiterals;

QString versionText(int major, int minor, int revision)
{
    return u"V"_s + QString::number(major) + u'.' + QString::number(minor) + u".0."_s
        + QString::number(revision);
}
