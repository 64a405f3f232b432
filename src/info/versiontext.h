#pragma once

#include <QString>

// "V" major "." minor ".0." revision, plain decimal numbers: V2.2.0.50.
QString versionText(int major, int minor, int revision);
