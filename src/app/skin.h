#pragma once

#include <QByteArray>
#include <QString>

// Our own skin layer behind the three calls start-up makes. The skin is a Qt style sheet carried
// as the resource "SKN" of type "CUSTOM"; a missing or broken skin leaves the default look.

// Keeps exactly `length` bytes of `data` and never reads past them. Returns 0 when kept.
int SkinH_AttachRes(const unsigned char *data, int length, int, int, int, int);
// Applies the kept skin to every window of the program. Returns 0 when applied.
int SkinH_Attach();
// Shifts the skin's colours: hue in degrees, saturation and brightness in percent.
// (0, 0, 0) changes nothing.
int SkinH_AdjustHSV(int hue, int saturation, int brightness);

// The skin the program carries; empty when it is missing.
QByteArray loadSkinResource();
// The style sheet the skin layer has applied (for tests).
QString appliedSkin();
// A style sheet with every colour shifted as SkinH_AdjustHSV does.
QString adjustColours(const QString &sheet, int hue, int saturation, int brightness);
