#include "help/readme.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "help/help_texts.h"

namespace pressory::help {

bool DesktopUrlOpener::open(const QUrl& url) { return QDesktopServices::openUrl(url); }

QString readmePath(const QString& programFolder) {
    const QChar sep = QDir::separator();
    return programFolder + sep + texts::kHelpFolder + sep + texts::kReadmeFile;
}

QString findReadme(const QString& programFolder) {
    const QString beside = readmePath(programFolder);
    if (QFileInfo(beside).isFile()) return beside;
    const QString share = QDir::cleanPath(programFolder + QStringLiteral("/../share/pressory"));
    const QString installed =
        QDir::toNativeSeparators(share + QLatin1Char('/') + texts::kHelpFolder + QLatin1Char('/') + texts::kReadmeFile);
    if (QFileInfo(installed).isFile() || QFileInfo(share).isDir()) return installed;
    return beside;
}

QUrl readmeUrl(const QString& path) {
    const QString p = QDir::fromNativeSeparators(path);
    // Runs of separators ("//Help", "C://Help") become one. On Windows a path
    // that begins with two is a network share and keeps them.
    qsizetype from = 0;
#ifdef Q_OS_WIN
    if (p.startsWith(QStringLiteral("//"))) from = 2;
#endif
    QString clean = p.left(from);
    for (qsizetype i = from; i < p.size(); ++i) {
        if (p[i] == QLatin1Char('/') && clean.size() > from && clean.back() == QLatin1Char('/')) continue;
        clean.append(p[i]);
    }
    return QUrl::fromLocalFile(clean);
}

QString showReadme(UrlOpener* opener, const std::string& programFolder) {
    const QString path = findReadme(QString::fromLocal8Bit(programFolder));
    if (!QFileInfo(path).isFile()) return texts::kReadmeMissing.arg(QDir::toNativeSeparators(path));
    if (opener == nullptr || !opener->open(readmeUrl(path))) {
#ifdef Q_OS_WIN
        return texts::kBrowserFailed;
#else
        return texts::kBrowserFailed.arg(QDir::toNativeSeparators(path));
#endif
    }
    return {};
}

}  // namespace pressory::help
