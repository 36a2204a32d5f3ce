#pragma once
// exportBaseName(source): the name an exported copy of `source` takes before its suffix: the
// file name without a ".gz" or ".bz2" and then without its last suffix ("fig-07.eps" and
// "fig-07.eps.gz" give "fig-07"; a name that is all suffix, ".eps", stays as it is).
//
// Thread-safety: a plain function.

#include <QFile>
#include <QString>

#include <filesystem>

namespace vorrel::quicklook {

inline QString exportBaseName(const std::filesystem::path& source) {
    QString name = QFile::decodeName(source.filename().c_str());
    for (const QLatin1String compressed : {QLatin1String(".gz"), QLatin1String(".bz2")}) {
        if (name.endsWith(compressed, Qt::CaseInsensitive) && name.size() > compressed.size()) {
            name.chop(compressed.size());
            break;
        }
    }
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) name.truncate(dot);
    return name;
}

}  // namespace vorrel::quicklook
