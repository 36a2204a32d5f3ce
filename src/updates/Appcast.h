#pragma once
// Appcast: the update feed the updater reads, and the version comparison it uses.
//
// The feed is an RSS 2.0 document of our own shape. Every <item> of the channel describes
// one release; unknown elements are ignored, element names match by local name:
//
//   <rss version="2.0"><channel>
//     <title>Vorrel</title>
//     <item>
//       <title>Vorrel 1.2.0</title>
//       <version>1.2.0</version>                       required: dotted decimal numbers
//       <link>https://example.org/vorrel</link>         the release's page (http or https)
//       <releaseNotesLink>https://example.org/vorrel/notes</releaseNotesLink>   optional
//     </item>
//   </channel></rss>
//
// An item without a well-formed version is skipped; links that are not absolute http or
// https addresses are dropped (a feed must not make the host open file: or script
// addresses). The newest release is the item with the greatest version, wherever it
// stands in the feed.
//
// Thread-safety: pure functions, callable from any thread.

#include <optional>
#include <stdexcept>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace vorrel::platform {

struct AppcastItem {
    QString title;
    QString version;
    QUrl link;              // empty when absent or unsafe
    QUrl releaseNotesLink;  // empty when absent or unsafe
};

// The feed could not be read as an appcast; what() says why, in words for the user.
class AppcastError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every usable item of the feed, in document order. Throws AppcastError when the
// document is not well-formed XML or is not an RSS channel.
std::vector<AppcastItem> parseAppcast(const QByteArray& document);

// The item with the greatest version; nothing for an empty list.
std::optional<AppcastItem> newestItem(const std::vector<AppcastItem>& items);

// True when the text is one or more groups of decimal digits separated by single dots.
bool isDottedVersion(const QString& version);

// Compares two dotted versions numerically, group by group; missing groups count as 0
// ("1.2" equals "1.2.0"; "1.10" is newer than "1.9"). Groups of any length compare
// correctly (no overflow). Returns <0, 0 or >0; nothing when either is not dotted.
std::optional<int> compareVersions(const QString& a, const QString& b);

}  // namespace vorrel::platform
