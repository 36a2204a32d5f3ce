#include "updates/Appcast.h"

#include <QStringList>
#include <QXmlStreamReader>

namespace vorrel::platform {

namespace {

// A feed names its releases with short texts; anything longer is hostile or broken and
// must not end up in a dialog.
constexpr qsizetype kMaxTextLength = 1024;

QUrl safeLink(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return {};
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || scheme == QLatin1String("http") ? url : QUrl();
}

QString stripLeadingZeros(QStringView group) {
    qsizetype i = 0;
    while (i + 1 < group.size() && group[i] == u'0') ++i;
    return group.mid(i).toString();
}

}  // namespace

bool isDottedVersion(const QString& version) {
    if (version.isEmpty() || version.size() > kMaxTextLength) return false;
    bool groupHasDigit = false;
    for (const QChar c : version) {
        if (c == u'.') {
            if (!groupHasDigit) return false;
            groupHasDigit = false;
        } else if (c >= u'0' && c <= u'9') {
            groupHasDigit = true;
        } else {
            return false;
        }
    }
    return groupHasDigit;
}

std::optional<int> compareVersions(const QString& a, const QString& b) {
    if (!isDottedVersion(a) || !isDottedVersion(b)) return std::nullopt;
    const QStringList left = a.split(u'.');
    const QStringList right = b.split(u'.');
    const qsizetype groups = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < groups; ++i) {
        const QString x = i < left.size() ? stripLeadingZeros(left[i]) : QStringLiteral("0");
        const QString y = i < right.size() ? stripLeadingZeros(right[i]) : QStringLiteral("0");
        // Without leading zeros a longer group is the larger number; equal lengths
        // compare digit by digit.
        if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
        if (const int c = x.compare(y); c != 0) return c < 0 ? -1 : 1;
    }
    return 0;
}

std::vector<AppcastItem> parseAppcast(const QByteArray& document) {
    QXmlStreamReader xml(document);
    std::vector<AppcastItem> items;
    bool sawRss = false;
    bool sawChannel = false;
    std::optional<AppcastItem> current;
    bool versionValid = false;

    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::DTD) {
            // Entity declarations are the door to expansion attacks; a feed needs none.
            xml.raiseError(QStringLiteral("document type declarations are not allowed"));
            break;
        }
        if (token == QXmlStreamReader::StartElement) {
            const auto name = xml.name();
            if (!sawRss) {
                if (name != QLatin1String("rss")) {
                    throw AppcastError("The update feed is not an RSS document.");
                }
                sawRss = true;
            } else if (name == QLatin1String("channel")) {
                sawChannel = true;
            } else if (name == QLatin1String("item") && sawChannel) {
                current = AppcastItem{};
                versionValid = false;
            } else if (current) {
                if (name == QLatin1String("title")) {
                    current->title = xml.readElementText(QXmlStreamReader::SkipChildElements)
                                         .trimmed()
                                         .left(kMaxTextLength);
                } else if (name == QLatin1String("version")) {
                    current->version =
                        xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                    versionValid = isDottedVersion(current->version);
                } else if (name == QLatin1String("link")) {
                    current->link =
                        safeLink(xml.readElementText(QXmlStreamReader::SkipChildElements));
                } else if (name == QLatin1String("releaseNotesLink")) {
                    current->releaseNotesLink =
                        safeLink(xml.readElementText(QXmlStreamReader::SkipChildElements));
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("item") && current) {
                if (versionValid) items.push_back(std::move(*current));
                current.reset();
            }
        }
    }
    if (xml.hasError()) {
        throw AppcastError("The update feed is not valid XML: " +
                           xml.errorString().toStdString() + " (line " +
                           std::to_string(xml.lineNumber()) + ").");
    }
    if (!sawRss || !sawChannel) throw AppcastError("The update feed has no RSS channel.");
    return items;
}

std::optional<AppcastItem> newestItem(const std::vector<AppcastItem>& items) {
    const AppcastItem* best = nullptr;
    for (const auto& item : items) {
        if (!best || compareVersions(item.version, best->version).value_or(0) > 0) best = &item;
    }
    return best ? std::optional<AppcastItem>(*best) : std::nullopt;
}

}  // namespace vorrel::platform
