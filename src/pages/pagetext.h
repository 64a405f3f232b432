#pragma once

#include <QString>

// Text that pages choose, made safe to show and to use.
namespace PageText {

// An address as we show it: characters that change how text around them is drawn (bidi
// overrides and isolates, zero-width and other format characters, controls, line separators)
// are percent-encoded, so "…\u202Elmth.nigol/moc.knab.www//:sptth" cannot pass for another address.
QString address(const QString &address);

// The name a download is proposed under: the last path segment of what the page proposed,
// without separators, control, format or bidi characters, without leading dots or spaces, at
// most 200 bytes in the file system's encoding, and never empty.
QString fileName(const QString &proposed);

// A site as we name it to the user: the host (and port when not the scheme's own), or the
// whole address when there is no host.
QString site(const QString &url);

} // namespace PageText
