// Every text the programs translate is in every catalogue of the program that shows it,
// translated, and no catalogue keeps texts the code no longer has. The texts are read from
// the sources as Qt looks them up at run time: the context of tr() is the class's meta-object
// name (namespaces included, which lupdate drops when a file opens "namespace a::b {"), a
// free tr() helper of a file says its own context, translate() and QT_TRANSLATE_NOOP name it.
#include <map>
#include <set>
#include <vector>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

const QString sourceDir = QStringLiteral(VORREL_SOURCE_DIR);

struct Text {
    QString context, source;
    bool operator<(const Text& other) const {
        return std::tie(context, source) < std::tie(other.context, other.source);
    }
};

// Which catalogue holds the texts of which source folders: what each program loads.
struct Catalogue {
    const char* name;  // resources/<name>/translations/<name>_<language>.ts
    std::vector<const char*> folders;
};
const Catalogue catalogues[] = {
    {"vorrel", {"src/vorrel", "src/spacebar", "src/updates", "src/platform"}},
    {"quicklook", {"src/quicklook", "src/preview", "src/platform"}},
    {"zodadavovov", {"src/widgets"}},
};

// The source with comments blanked (newlines kept, for line numbers); strings stay.
QString withoutComments(const QString& text) {
    QString out = text;
    enum { code, string, character, line, block } state = code;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        const QChar next = i + 1 < out.size() ? out[i + 1] : QChar();
        switch (state) {
        case code:
            if (c == '"') state = string;
            else if (c == '\'') state = character;
            else if (c == '/' && next == '/') state = line, out[i] = ' ';
            else if (c == '/' && next == '*') state = block, out[i] = ' ';
            break;
        case string:
        case character:
            if (c == '\\') ++i;
            else if (c == (state == string ? '"' : '\'')) state = code;
            break;
        case line:
            if (c == '\n') state = code;
            else out[i] = ' ';
            break;
        case block:
            if (c == '*' && next == '/') out[i] = out[i + 1] = ' ', ++i, state = code;
            else if (c != '\n') out[i] = ' ';
            break;
        }
    }
    return out;
}

// The adjacent string literals starting at `at` (after spaces), joined and unescaped; empty
// when the argument there is not a literal (a variable: a text translated elsewhere).
std::optional<QString> literalAt(const QString& text, qsizetype& at) {
    QByteArray bytes;
    bool any = false;
    for (;;) {
        while (at < text.size() && text[at].isSpace()) ++at;
        if (text.mid(at, 3) == QLatin1String("u8\"")) at += 2;
        if (at >= text.size() || text[at] != '"') break;
        any = true;
        for (++at; at < text.size() && text[at] != '"'; ++at) {
            if (text[at] != '\\') {
                bytes += QString(text[at]).toUtf8();
                continue;
            }
            const QChar escaped = text[++at];
            if (escaped == 'u' || escaped == 'U') {
                const int digits = escaped == 'u' ? 4 : 8;
                const char32_t code = text.mid(at + 1, digits).toUInt(nullptr, 16);
                bytes += QString::fromUcs4(&code, 1).toUtf8();
                at += digits;
                continue;
            }
            bytes += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped.toLatin1();
        }
        ++at;
    }
    if (!any) return std::nullopt;
    return QString::fromUtf8(bytes);
}

// A class or struct body, or a function defined outside its class ("A::b(…) {").
struct Scope {
    enum Kind { nameSpace, type, memberFunction, other } kind;
    QString name;
};

struct TypeInfo {
    QString trContext;  // empty: neither Q_OBJECT nor Q_DECLARE_TR_FUNCTIONS
    bool hasBases = false;
};

struct Use {
    QString file;
    int line;
    std::optional<QString> context;  // unknown: the test says where
    QString qualifier;               // "X" of X::tr, or the enclosing scopes' names
    bool qualified = false;          // X::tr
    QString helper;                  // the context of the file's own free tr(), if it has one
    QString source;
};

const QRegularExpression namespaceHead(QStringLiteral(R"re(\bnamespace\s*([\w:]*)\s*$)re"));
const QRegularExpression typeHead(QStringLiteral(R"re((?<!enum\s)\b(?:class|struct)\s+(?:\w+\s+)*?(\w+)\s*(?:final\s*)?(?::[^{()]*)?$)re"));
const QRegularExpression memberHead(QStringLiteral(R"re(^[^=(]*?\b((?:\w+::)*\w+)::~?\w+\s*\()re"));
const QRegularExpression call(QStringLiteral(
    R"re((?<![\w.>])((?:\w+::)*)(tr|QT_TR_NOOP|translate|QT_TRANSLATE_NOOP)\s*\()re"));
const QRegularExpression localHelper(QStringLiteral(
    R"re(QString\s+tr\s*\(\s*const\s+char\s*\*\s*\w+\s*\)\s*\{\s*return\s+QCoreApplication::translate\s*\(\s*"([^"]+)")re"));
// A macro that marks its argument in a fixed context, and a file's named context.
const QRegularExpression noopMacro(QStringLiteral(
    R"re(#define\s+(\w+)\s*\(\s*\w+\s*\)\s+QT_TRANSLATE_NOOP\s*\(\s*"([^"]+)"\s*,\s*\w+\s*\))re"));
const QRegularExpression contextConstant(QStringLiteral(
    R"re(\bconst\s+char\s*\*\s*(?:const\s+)?(\w+)\s*=\s*"([^"]*)"\s*;)re"));
const QRegularExpression identifier(QStringLiteral(R"re(\w+)re"));
const QRegularExpression declaredContext(QStringLiteral(R"re(Q_DECLARE_TR_FUNCTIONS\s*\(\s*([\w:]+)\s*\))re"));

class SourceScan {
public:
    std::map<QString, TypeInfo> types;  // by qualified name
    std::vector<Use> uses;
    std::map<QString, QString> macros;  // NAME(text) → its context

    void findMacros(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return;
        auto found = noopMacro.globalMatch(withoutComments(QString::fromUtf8(file.readAll())));
        while (found.hasNext()) {
            const auto m = found.next();
            macros[m.captured(1)] = m.captured(2);
        }
    }

    void scan(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << path.toStdString();
            return;
        }
        const QString text = withoutComments(QString::fromUtf8(file.readAll()));
        const QString relative = QDir(sourceDir).relativeFilePath(path);
        const auto helper = localHelper.match(text);
        std::map<QString, QString> constants;
        for (auto found = contextConstant.globalMatch(text); found.hasNext();) {
            const auto m = found.next();
            constants[m.captured(1)] = m.captured(2);
        }
        std::vector<Scope> scopes;
        std::vector<QString> typeBodies;  // the text of each open type's own body
        qsizetype statement = 0;          // where the text since the last ; { } starts
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == '"' || c == '\'') {
                for (++i; i < text.size() && text[i] != c; ++i)
                    if (text[i] == '\\') ++i;
                continue;
            }
            if ((c.isLetter() || c == '_') && (i == 0 || !(text[i - 1].isLetterOrNumber() || text[i - 1] == '_'))) {
                const auto found = call.match(text, i, QRegularExpression::NormalMatch,
                                              QRegularExpression::AnchorAtOffsetMatchOption);
                if (found.hasMatch()) {
                    record(relative, text, found, scopes, text.mid(statement, i - statement),
                           helper.hasMatch() ? helper.captured(1) : QString(), constants);
                    i = found.capturedEnd() - 1;
                    continue;
                }
                const QString name = identifier.match(text, i).captured(0);
                if (auto macro = macros.find(name); macro != macros.end()) {
                    qsizetype at = i + name.size();
                    while (at < text.size() && text[at].isSpace()) ++at;
                    if (at < text.size() && text[at] == '(') {
                        ++at;
                        if (const auto source = literalAt(text, at)) {
                            const int line = int(text.left(i).count(QLatin1Char('\n'))) + 1;
                            uses.push_back({relative, line, macro->second, {}, true, {}, *source});
                        }
                    }
                }
            }
            if (c == '{') {
                const QString head = text.mid(statement, i - statement).simplified();
                Scope scope{Scope::other, {}};
                bool hasBases = false;
                if (auto m = namespaceHead.match(head); m.hasMatch())
                    scope = {Scope::nameSpace, m.captured(1)};
                else if (auto t = typeHead.match(head); t.hasMatch() && !head.contains('=')) {
                    scope = {Scope::type, t.captured(1)};
                    hasBases = t.captured(0).contains(':');
                }
                else if (auto f = memberHead.match(head); f.hasMatch() && atNamespaceLevel(scopes))
                    scope = {Scope::memberFunction, f.captured(1)};
                scopes.push_back(scope);
                if (scope.kind == Scope::type) {
                    const qsizetype end = bodyEnd(text, i);
                    registerType(qualified(scopes), hasBases, text.mid(i, end - i));
                }
                statement = i + 1;
            } else if (c == '}') {
                if (!scopes.empty()) scopes.pop_back();
                statement = i + 1;
            } else if (c == ';') {
                statement = i + 1;
            }
        }
    }

    // The contexts the uses' tr() calls resolve to, now that every class is known.
    void resolve() {
        for (Use& use : uses) {
            if (use.context) continue;
            for (const QString& candidate : use.qualifier.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
                if (use.qualified &&
                    (candidate == QLatin1String("QObject") || candidate == QLatin1String("QCoreApplication"))) {
                    use.context = candidate;
                    break;
                }
                if (auto it = types.find(candidate); it != types.end()) {
                    // A class with no tr() of its own and no base calls the file's free one.
                    const TypeInfo& type = it->second;
                    use.context = type.trContext.isEmpty() && !type.hasBases && !use.qualified
                                      ? use.helper
                                      : type.trContext;
                    break;
                }
            }
        }
    }

private:
    // Members are defined outside their class only at namespace level: a qualified call
    // opening a block further in is a lambda passed to it.
    static bool atNamespaceLevel(const std::vector<Scope>& scopes) {
        return scopes.empty() || scopes.back().kind == Scope::nameSpace;
    }

    static qsizetype bodyEnd(const QString& text, qsizetype open) {
        int depth = 0;
        for (qsizetype i = open; i < text.size(); ++i) {
            if (text[i] == '"' || text[i] == '\'') {
                const QChar quote = text[i];
                for (++i; i < text.size() && text[i] != quote; ++i)
                    if (text[i] == '\\') ++i;
            } else if (text[i] == '{') {
                ++depth;
            } else if (text[i] == '}' && --depth == 0) {
                return i;
            }
        }
        return text.size();
    }

    // The name of the innermost scopes, namespaces and types, as moc writes it.
    static QString qualified(const std::vector<Scope>& scopes) {
        QStringList parts;
        for (const Scope& scope : scopes)
            if ((scope.kind == Scope::nameSpace && !scope.name.isEmpty()) || scope.kind == Scope::type)
                parts << scope.name;
        return parts.join(QLatin1String("::"));
    }

    void registerType(const QString& name, bool hasBases, const QString& body) {
        TypeInfo info;
        info.hasBases = hasBases;
        if (body.contains(QLatin1String("Q_OBJECT")) || body.contains(QLatin1String("Q_GADGET")))
            info.trContext = name;
        if (auto m = declaredContext.match(body); m.hasMatch()) info.trContext = m.captured(1);
        types.emplace(name, info);
    }

    // Candidates for the class a name refers to from within the open namespaces: the
    // innermost first, as C++ looks it up.
    static QString candidates(const QString& name, const std::vector<Scope>& scopes) {
        QStringList prefixes{QString()};
        QString prefix;
        for (const Scope& scope : scopes) {
            if (scope.kind != Scope::nameSpace && scope.kind != Scope::type) continue;
            if (scope.name.isEmpty()) continue;
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral("::")) + scope.name;
            prefixes.prepend(prefix + QStringLiteral("::"));
        }
        QStringList out;
        for (const QString& p : prefixes) out << p + name;
        return out.join(QLatin1Char('|'));
    }

    void record(const QString& file, const QString& text, const QRegularExpressionMatch& found,
                const std::vector<Scope>& scopes, const QString& pending, const QString& helper,
                const std::map<QString, QString>& constants) {
        const int line = int(text.left(found.capturedStart()).count(QLatin1Char('\n'))) + 1;
        const QString function = found.captured(2);
        QString qualifier = found.captured(1);
        qualifier.chop(2);
        qsizetype at = found.capturedEnd();
        Use use{file, line, std::nullopt, {}, false, helper, {}};
        if (function == QLatin1String("translate") || function == QLatin1String("QT_TRANSLATE_NOOP")) {
            auto context = literalAt(text, at);
            if (!context) {
                // A context named by a constant of the file; any other variable's texts are
                // marked elsewhere.
                const auto name = identifier.match(text, at, QRegularExpression::NormalMatch,
                                                   QRegularExpression::AnchorAtOffsetMatchOption);
                const auto constant = constants.find(name.captured(0));
                if (!name.hasMatch() || constant == constants.end()) return;
                context = constant->second;
                at = name.capturedEnd();
            }
            while (at < text.size() && text[at].isSpace()) ++at;
            if (at >= text.size() || text[at] != ',') return;
            ++at;
            const auto source = literalAt(text, at);
            if (!source) return;
            use.context = *context;
            use.source = *source;
            uses.push_back(use);
            return;
        }
        const auto source = literalAt(text, at);
        if (!source) return;  // tr(variable): the helper's own definition, or a NOOP's text
        use.source = *source;
        if (!qualifier.isEmpty()) {
            use.qualified = true;
            use.qualifier = candidates(qualifier, scopes);
            uses.push_back(use);
            return;
        }
        // The enclosing types and member functions, innermost first; a member function's
        // head may still be pending (tr() in a constructor's initializer list). Scopes that
        // name no known class (a lambda passed to std::any_of) are passed over when resolving.
        QStringList owners;
        if (auto f = memberHead.match(pending.simplified()); f.hasMatch() && atNamespaceLevel(scopes))
            owners << candidates(f.captured(1), scopes);
        bool inClass = !owners.isEmpty();
        for (qsizetype s = qsizetype(scopes.size()) - 1; s >= 0; --s) {
            const Scope& scope = scopes[std::size_t(s)];
            if (scope.kind != Scope::type && scope.kind != Scope::memberFunction) continue;
            inClass = true;
            owners << candidates(scope.name, std::vector<Scope>(scopes.begin(), scopes.begin() + s));
        }
        if (!inClass && !helper.isEmpty()) use.context = helper;
        use.qualifier = owners.join(QLatin1Char('|'));
        uses.push_back(use);
    }
};

struct Entry {
    Text text;
    QString type;  // "", "unfinished", "vanished", "obsolete"
    QString translation;
};

std::vector<Entry> readCatalogue(const QString& path) {
    std::vector<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return entries;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = {{context, {}}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            entry.text.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value(QLatin1String("type")).toString();
            entry.translation = xml.readElementText();
            entries.push_back(entry);
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return entries;
}

class Catalogues : public testing::Test {
protected:
    static void SetUpTestSuite() {
        scan_ = new SourceScan;
        QDirIterator files(sourceDir + QStringLiteral("/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                           QDir::Files, QDirIterator::Subdirectories);
        QStringList paths;
        while (files.hasNext()) paths << files.next();
        for (const QString& path : paths) scan_->findMacros(path);
        for (const QString& path : paths) scan_->scan(path);
        scan_->resolve();
    }
    static void TearDownTestSuite() { delete scan_; }

    // The texts of the given folders, each once.
    static std::set<Text> textsOf(const std::vector<const char*>& folders) {
        std::set<Text> texts;
        for (const Use& use : scan_->uses)
            for (const char* folder : folders)
                if (use.file.startsWith(QLatin1String(folder) + QLatin1Char('/')) && use.context)
                    texts.insert({*use.context, use.source});
        return texts;
    }

    static SourceScan* scan_;
};

SourceScan* Catalogues::scan_ = nullptr;

TEST_F(Catalogues, EveryTextHasAKnownContextAndACatalogue) {
    ASSERT_GT(scan_->uses.size(), 100u);  // the scan found the sources
    for (const Use& use : scan_->uses) {
        EXPECT_TRUE(use.context.has_value())
            << use.file.toStdString() << ":" << use.line << ": tr(\"" << use.source.toStdString()
            << "\") has no context of its own (a class without Q_OBJECT translates in its base "
               "class's); looked for "
            << use.qualifier.toStdString();
        if (use.context) {
            EXPECT_FALSE(use.context->isEmpty())
                << use.file.toStdString() << ":" << use.line << ": tr(\"" << use.source.toStdString()
                << "\") in a class without Q_OBJECT or Q_DECLARE_TR_FUNCTIONS: " << use.qualifier.toStdString();
        }
        const bool covered = std::any_of(std::begin(catalogues), std::end(catalogues), [&](const Catalogue& c) {
            return std::any_of(c.folders.begin(), c.folders.end(), [&](const char* folder) {
                return use.file.startsWith(QLatin1String(folder) + QLatin1Char('/'));
            });
        });
        EXPECT_TRUE(covered) << use.file.toStdString() << ": no catalogue holds this folder's texts";
    }
}

TEST_F(Catalogues, HoldEveryTextTranslatedAndNoneThatVanished) {
    int checked = 0;
    for (const Catalogue& catalogue : catalogues) {
        const std::set<Text> used = textsOf(catalogue.folders);
        ASSERT_FALSE(used.empty()) << catalogue.name;
        const QDir folder(sourceDir + QStringLiteral("/resources/%1/translations").arg(QLatin1String(catalogue.name)));
        const QStringList files = folder.entryList({QLatin1String(catalogue.name) + QStringLiteral("_*.ts")});
        ASSERT_FALSE(files.isEmpty()) << folder.path().toStdString();
        for (const QString& name : files) {
            ++checked;
            SCOPED_TRACE(name.toStdString());
            std::set<Text> held;
            for (const Entry& entry : readCatalogue(folder.filePath(name))) {
                const std::string what = entry.text.context.toStdString() + ": \"" + entry.text.source.toStdString() + "\"";
                EXPECT_TRUE(used.count(entry.text)) << "vanished from the code: " << what;
                EXPECT_TRUE(entry.type.isEmpty()) << entry.type.toStdString() << ": " << what;
                EXPECT_FALSE(entry.translation.isEmpty()) << "untranslated: " << what;
                EXPECT_TRUE(held.insert(entry.text).second) << "twice: " << what;
            }
            for (const Text& text : used)
                EXPECT_TRUE(held.count(text)) << "missing: " << text.context.toStdString() << ": \""
                                              << text.source.toStdString() << "\"";
        }
    }
    EXPECT_GE(checked, 3);
}

}  // namespace
