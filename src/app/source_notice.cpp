#include "app/source_notice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include "app/main_window_texts.h"
#include "platform/file_access.h"
#if defined(Q_OS_LINUX)
#include "platform/linux/key_source_linux.h"
#endif
#include "widgets/message_boxes.h"

namespace pressory::app {

bool tellSituation(const std::string& path, const std::string& situation, bool somethingToTell) {
    QFile file(QString::fromLocal8Bit(path));
    const bool exists = file.exists();
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray told = file.read(4096).trimmed();
        file.close();
        if (told == QByteArray::fromStdString(situation)) return false;
    }
    if (!somethingToTell && !exists) return false;
    (void)platform::replaceWhole(path, situation + "\n");
    return somethingToTell;
}

QString inputAccessHelper() {
#if defined(Q_OS_LINUX)
    const QString helper = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(QStringLiteral("../libexec/pressory/pressory-input-access"));
    const QFileInfo info(helper);
    if (!info.isFile() || !info.isExecutable()) return {};
    if (QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty()) return {};
    return info.canonicalFilePath();
#else
    return {};
#endif
}

QString keySourceNoticeText(const std::string& told, bool offersDevices, const QString& helper) {
    QString text = QString::fromStdString(told);
#if defined(Q_OS_LINUX)
    if (offersDevices)
        text += QStringLiteral("\n\n") + QString::fromStdString(platform::accessAdvice(helper.toStdString()));
#else
    (void)offersDevices;
    (void)helper;
#endif
    return text;
}

QMessageBox* showKeySourceNotice(bool critical, const QString& text, const QString& helper) {
    auto* box = new QMessageBox(critical ? QMessageBox::Critical : QMessageBox::Information, widgets::kBoxCaption, text,
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(QMessageBox::Ok);  // Enter only closes it
    box->setEscapeButton(QMessageBox::Ok);
    if (!helper.isEmpty()) {
        QPushButton* enable = box->addButton(texts::kCountEveryKey, QMessageBox::AcceptRole);
        QObject::connect(enable, &QPushButton::clicked, [helper] {
            // The devices become readable a moment after the helper ends; the
            // key source sees it and switches by itself.
            auto* run = new QProcess;
            QObject::connect(run, &QProcess::finished, run, [run](int code, QProcess::ExitStatus status) {
                run->deleteLater();
                // 126: the person dismissed the password prompt.
                if (status == QProcess::NormalExit && (code == 0 || code == 126)) return;
                const QString why = QString::fromLocal8Bit(run->readAllStandardError()).trimmed();
                auto* failed =
                    new QMessageBox(QMessageBox::Warning, widgets::kBoxCaption,
                                    texts::kCountEveryKeyFailed + (why.isEmpty() ? QString() : "\n\n" + why));
                failed->setAttribute(Qt::WA_DeleteOnClose);
                failed->open();
            });
            QObject::connect(run, &QProcess::errorOccurred, run, [run](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart) return;
                run->deleteLater();
                auto* failed = new QMessageBox(QMessageBox::Warning, widgets::kBoxCaption, texts::kCountEveryKeyFailed);
                failed->setAttribute(Qt::WA_DeleteOnClose);
                failed->open();
            });
            run->start(QStringLiteral("pkexec"), {helper, QStringLiteral("enable")});
        });
    }
    box->open();
    return box;
}

}  // namespace pressory::app
