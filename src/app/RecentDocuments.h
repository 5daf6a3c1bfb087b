#pragma once

#include <QString>
#include <QStringList>

/// The desktop's recent-documents list: the freedesktop recently-used.xbel in $XDG_DATA_HOME,
/// which file choosers and desktop shells read. Entries of other applications are kept as they are,
/// and a list that cannot be read or parsed is never rewritten.
namespace RecentDocuments {

/// The list's file: $XDG_DATA_HOME/recently-used.xbel, else ~/.local/share/recently-used.xbel.
QString listPath();

/// Records that Kelvane opened a file now. False when the list could not be read or written.
bool note(const QString &path, const QString &mimeType);

/// The files Kelvane opened, newest first, at most `limit`; none when the list cannot be read.
QStringList opened(int limit = 10);

/// Forgets Kelvane's entries; a file that other applications also opened keeps theirs. False when
/// the list could not be read or written.
bool clear();

} // namespace RecentDocuments
