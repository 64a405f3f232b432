#pragma once

#include <QByteArray>
#include <QString>

// Our own skin layer behind the three calls start-up makes. A skin is a Qt style sheet in UTF-8,
// carried as the resource "SKN" of type "CUSTOM" (the file skin/SKN among the program's resources).
// A missing or broken skin leaves the default look and changes nothing else.

// Keeps a copy of exactly `length` bytes of `data` and never reads past them. 0 when kept.
int SkinH_AttachRes(const unsigned char *data, int length, int, int, int, int);
// Applies the kept skin to the whole application. 0 when applied.
int SkinH_Attach();
// Shifts every colour of the kept skin (#rgb, #rrggbb, #aarrggbb, rgb(), rgba()) by `hue` degrees
// (-180..180) and moves saturation and brightness by a percentage (-100..100) towards full or none,
// then applies the result again. (0, 0, 0) gives back the skin exactly as kept. 0 when applied.
int SkinH_AdjustHSV(int hue, int saturation, int brightness);

// The skin data: the file named "skn", in any letter case, in `folder`. Empty when there is none.
QByteArray loadSkinResource(const QString &folder = QStringLiteral(":/skin/CUSTOM"));
