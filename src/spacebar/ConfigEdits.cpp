#include "spacebar/ConfigEdits.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace vorrel::spacebar {

namespace {

// Escaped, and ASCII whatever the file's declared encoding: other characters as references.
QByteArray xmlText(const QString& text) {
    QByteArray bytes;
    for (const char32_t c : text.toHtmlEscaped().toUcs4()) {
        if (c < 0x80) bytes += char(c);
        else bytes += "&#" + QByteArray::number(uint(c)) + ';';
    }
    return bytes;
}

QByteArray idElement(const QString& uniqueId) {
    return "<unique-id>" + xmlText(uniqueId) + "</unique-id>";
}

// Whether the bytes are well-formed XML whose root element is <actions>.
QString ucaProblem(const QByteArray& uca) {
    QXmlStreamReader reader(uca);
    bool rootSeen = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && !rootSeen) {
            rootSeen = true;
            if (reader.name() != QLatin1String("actions"))
                return QStringLiteral("its root element is <%1>, not <actions>")
                    .arg(reader.name().toString());
        }
    }
    if (reader.hasError())
        return QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
    if (!rootSeen) return QStringLiteral("it holds no <actions> element");
    return {};
}

}  // namespace

QByteArray ucaActionBlock(const QString& uniqueId, const QString& name, const QString& description,
                          const QString& command, const QString& patterns) {
    return "\t<action>\n"
           "\t\t<icon>vorrel</icon>\n"
           "\t\t<name>" + xmlText(name) + "</name>\n"
           "\t\t<submenu></submenu>\n"
           "\t\t" + idElement(uniqueId) + "\n"
           "\t\t<command>" + xmlText(command) + "</command>\n"
           "\t\t<description>" + xmlText(description) + "</description>\n"
           "\t\t<range>*</range>\n"
           "\t\t<patterns>" + xmlText(patterns) + "</patterns>\n"
           // Thunar files image/x-eps as an image: without <image-files/> the action never
           // shows for .eps files.
           "\t\t<image-files/>\n"
           "\t\t<other-files/>\n"
           "\t\t<text-files/>\n"
           "\t</action>\n";
}

bool ucaHasAction(const QByteArray& uca, const QString& uniqueId) {
    return uca.contains(idElement(uniqueId));
}

QByteArray ucaFileWith(const QByteArray& block) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + block + "</actions>\n";
}

EditResult ucaAddAction(const QByteArray& uca, const QByteArray& block, const QString& uniqueId) {
    if (uca.isEmpty()) return {ucaFileWith(block), {}};
    if (const QString problem = ucaProblem(uca); !problem.isEmpty()) return {std::nullopt, problem};
    if (ucaHasAction(uca, uniqueId)) return {uca, {}};
    const qsizetype closing = uca.lastIndexOf("</actions>");
    if (closing < 0) return {std::nullopt, QStringLiteral("it has no </actions>")};
    // At the start of the closing tag's line when only blanks precede it there, so that the
    // block keeps its own indentation and the user's lines stay as they are.
    qsizetype at = closing;
    while (at > 0 && (uca[at - 1] == ' ' || uca[at - 1] == '\t')) --at;
    if (at > 0 && uca[at - 1] != '\n') at = closing;
    QByteArray result = uca;
    result.insert(at, block);
    return {result, {}};
}

EditResult ucaRemoveAction(const QByteArray& uca, const QString& uniqueId) {
    if (!ucaHasAction(uca, uniqueId)) return {uca, {}};
    if (const QString problem = ucaProblem(uca); !problem.isEmpty()) return {std::nullopt, problem};
    // On the bytes themselves, so that nothing of the user's is re-encoded.
    const qsizetype id = uca.indexOf(idElement(uniqueId));
    qsizetype start = uca.lastIndexOf("<action>", id);
    const qsizetype close = uca.indexOf("</action>", id);
    if (start < 0 || close < 0 || uca.indexOf("</action>", start) < id)
        return {std::nullopt, QStringLiteral("our action is not a whole <action> element")};
    qsizetype end = close + qsizetype(sizeof("</action>") - 1);
    if (start > 0 && uca[start - 1] == '\t') --start;
    if (end < uca.size() && uca[end] == '\n') ++end;
    QByteArray result = uca;
    return {result.remove(start, end - start), {}};
}

QByteArray accelLine(const QString& path, const QString& key) {
    const auto scheme = [](QString text) {
        text.replace(QLatin1String("\\"), QLatin1String("\\\\"));
        text.replace(QLatin1String("\""), QLatin1String("\\\""));
        return text.toUtf8();
    };
    return "(gtk_accel_path \"" + scheme(path) + "\" \"" + scheme(key) + "\")";
}

bool accelsHaveLine(const QByteArray& accels, const QByteArray& line) {
    return accels.startsWith(line + '\n') || accels == line || accels.contains('\n' + line + '\n') ||
           accels.endsWith('\n' + line);
}

QByteArray accelsAddLine(const QByteArray& accels, const QByteArray& line) {
    if (accelsHaveLine(accels, line)) return accels;
    // A file whose last line has no newline gets one before ours, and ours then goes
    // without: removing "\n" + line gives back exactly what was there.
    if (!accels.isEmpty() && !accels.endsWith('\n')) return accels + '\n' + line;
    return accels + line + '\n';
}

QByteArray accelsRemoveLine(const QByteArray& accels, const QByteArray& line) {
    QByteArray result = accels;
    if (result.startsWith(line + '\n')) return result.remove(0, line.size() + 1);
    if (const qsizetype at = result.indexOf('\n' + line + '\n'); at >= 0)
        return result.remove(at + 1, line.size() + 1);
    if (result.endsWith('\n' + line)) return result.chopped(line.size() + 1);
    if (result == line) return {};
    return result;
}

QString cajaScriptActionName(const QString& scriptPath) {
    const QString uri = QString::fromUtf8(QUrl::fromLocalFile(scriptPath).toEncoded());
    QString name = QStringLiteral("script_");
    for (const QChar c : uri) {
        if (c == '\\') name += QLatin1String("\\\\");
        else if (c == '/') name += QLatin1String("\\s");
        else if (c == '&') name += QLatin1String("\\a");
        else if (c == '"') name += QLatin1String("\\q");
        else name += c;
    }
    return name;
}

}  // namespace vorrel::spacebar
