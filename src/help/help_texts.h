// The texts of the help commands and the version window, in one place.
#pragma once

#include <QString>

namespace pressory::help::texts {

// The readme could not be handed to a browser: on Windows the system's own
// text; elsewhere no Windows browser is named, the file is (%1: its path).
#ifdef Q_OS_WIN
inline const QString kBrowserFailed = QStringLiteral("インターネットエクスプローラの起動に失敗しました。");
#else
inline const QString kBrowserFailed = QStringLiteral("%1 をブラウザーで開けませんでした。");
#endif
// No readme where it was looked for; %1 is that path.
inline const QString kReadmeMissing = QStringLiteral("%1 が見つかりません。");

// The version window.
inline const QString kAboutCaption = QStringLiteral("バージョン情報");
inline const QString kOk = QStringLiteral("OK");
inline const QString kVersionWord = QStringLiteral("  Version ");
// Which key source counts (%1: the source, as it names itself).
inline const QString kKeySourceInUse = QStringLiteral("キーの読み取り: %1");

// Where the readme lies under the program's folder.
inline const QString kHelpFolder = QStringLiteral("Help");
inline const QString kReadmeFile = QStringLiteral("Readme.html");

}  // namespace pressory::help::texts
