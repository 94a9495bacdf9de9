// The readme command: the program's readme page handed to the desktop's
// browser.
#pragma once

#include <QString>
#include <QUrl>
#include <string>

namespace pressory::help {

// Asks the desktop to show a URL.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // False when no handler could be started for it.
    virtual bool open(const QUrl& url) = 0;
};

// QDesktopServices: the person's own browser.
class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override;
};

// The readme's path: the program's folder as the platform reports it, then
// the separator, "Help", the separator and "Readme.html". A folder that is a
// root already ends in a separator, which then stands twice.
QString readmePath(const QString& programFolder);

// The readme of the program in `programFolder`: the one beside it (see
// readmePath) when that file exists, else the installed page in
// share/pressory/Help/ beside the program's bin/ folder when that exists.
// With neither, where it was looked for: the installed page's path when the
// program is installed (share/pressory exists), else the path beside it.
QString findReadme(const QString& programFolder);

// The file URL of a readme path. A doubled separator is collapsed first: in
// a file URL it would name a network host.
QUrl readmeUrl(const QString& path);

// Hands the readme of the program in `programFolder` (found by findReadme)
// to the opener. Returns the text of the box to show when it did not: the
// readme's path with " が見つかりません。" when there is no such file (the
// opener is not asked), texts::kBrowserFailed (naming the readme's path,
// except on Windows) when there is no opener or it failed; empty when the
// readme was handed over.
QString showReadme(UrlOpener* opener, const std::string& programFolder);

}  // namespace pressory::help
