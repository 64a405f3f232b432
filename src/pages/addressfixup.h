#pragma once

#include <QString>
#include <QUrl>

// Turns what a user types into the address the browser goes to, the way a browser's address
// bar does: known schemes as written, existing local paths as files, anything else as a web
// address. Spaces and other characters are percent-encoded as an address needs.
namespace AddressFixup {

QUrl toUrl(const QString &address);

} // namespace AddressFixup
