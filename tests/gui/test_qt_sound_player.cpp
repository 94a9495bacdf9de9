// The sound player on Qt's audio output: a small generated WAV is loaded
// ahead and plays; bad paths (empty, missing, a folder, a FIFO, a device,
// a 1 GB file, text) are refused at once; with or without a sound server
// nothing blocks.
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "sound/ui/qt_sound_player.h"

using pressory::sound::QtSoundPlayer;

namespace {

// A mono 16-bit 44.1 kHz tone of `ms` milliseconds.
QByteArray toneWav(int ms) {
    const int n = 44100 * ms / 1000;
    QByteArray data;
    for (int i = 0; i < n; ++i) {
        const qint16 v = static_cast<qint16>(12000 * std::sin(2 * M_PI * 880.0 * i / 44100));
        data.append(static_cast<char>(v & 0xFF)).append(static_cast<char>((v >> 8) & 0xFF));
    }
    auto le = [](quint32 v, int bytes) {
        QByteArray b;
        for (int i = 0; i < bytes; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        return b;
    };
    return "RIFF" + le(36 + data.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(44100, 4) +
           le(88200, 4) + le(2, 2) + le(16, 2) + "data" + le(data.size(), 4) + data;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

std::string local(const QString& p) { return p.toLocal8Bit().toStdString(); }

}  // namespace

class TestQtSoundPlayer : public QObject {
    Q_OBJECT
private slots:
    void aToneIsLoadedAheadAndPlays();
    void badPathsPlayNothingAtOnce();
    void aChangedFileIsReadAgainAtTheNextPreload();
    void pathsOutsideTheTableDoNotFillTheCache();
};

void TestQtSoundPlayer::aToneIsLoadedAheadAndPlays() {
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("トーン.wav"));
    writeFile(tone, toneWav(60));
    QtSoundPlayer player;
    player.preload({local(tone), local(tone), ""});
    QCOMPARE(player.cachedCount(), std::size_t(1));
    QVERIFY(player.hasSound(local(tone)));

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i) player.play(local(tone));  // each request cuts off the last one
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
    // PRESSORY_TEST_SOUND_SERVER=1 says a sound server is there (the
    // end-to-end run starts one): then the tone must be playing.
    if (qEnvironmentVariableIntValue("PRESSORY_TEST_SOUND_SERVER") == 1) QVERIFY(player.playing());
    // With a sound server the stream is open and closes by itself after the
    // tone; without one nothing plays.
    QTRY_VERIFY_WITH_TIMEOUT(!player.playing(), 3000);
    player.play(local(tone));
    player.stopAll();
    QVERIFY(!player.playing());
}

void TestQtSoundPlayer::badPathsPlayNothingAtOnce() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = dir.filePath(QStringLiteral("huge.wav"));
    {
        QFile f(huge);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(qint64(1) << 30));  // 1 GB, sparse
    }
    const QString text = dir.filePath(QStringLiteral("text.wav"));
    writeFile(text, QByteArray("this is not a sound\n").repeated(100));
    const QString truncated = dir.filePath(QStringLiteral("truncated.wav"));
    writeFile(truncated, toneWav(60).left(30));
    const QString empty = dir.filePath(QStringLiteral("empty.wav"));
    writeFile(empty, QByteArray());

    const std::vector<std::string> bad = {"",
                                          local(dir.filePath(QStringLiteral("missing.wav"))),
                                          local(dir.path()),
                                          local(fifo),
                                          "/dev/zero",
                                          local(huge),
                                          local(text),
                                          local(truncated),
                                          local(empty)};
    QtSoundPlayer player;
    QElapsedTimer t;
    t.start();
    player.preload(bad);
    for (const std::string& p : bad) {
        QVERIFY2(!player.hasSound(p), p.c_str());
        player.play(p);
        QVERIFY2(!player.playing(), p.c_str());
    }
    // Also when asked for the first time at a press.
    QtSoundPlayer fresh;
    for (const std::string& p : bad) fresh.play(p);
    QVERIFY(!fresh.playing());
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!QtSoundPlayer::isLoadableFile(local(fifo)));
    QVERIFY(!QtSoundPlayer::isLoadableFile("/dev/null"));
}

void TestQtSoundPlayer::aChangedFileIsReadAgainAtTheNextPreload() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("later.wav"));
    writeFile(path, "not yet a sound");
    QtSoundPlayer player;
    player.preload({local(path)});
    QVERIFY(!player.hasSound(local(path)));
    writeFile(path, toneWav(20));
    player.play(local(path));
    QVERIFY(!player.hasSound(local(path)));  // the cache holds until the table is loaded again
    player.preload({local(path)});
    QVERIFY(player.hasSound(local(path)));
}

void TestQtSoundPlayer::pathsOutsideTheTableDoNotFillTheCache() {
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("table.wav"));
    writeFile(table, toneWav(10));
    QtSoundPlayer player;
    player.preload({local(table)});
    for (int i = 0; i < 40; ++i) {
        const QString p = dir.filePath(QStringLiteral("extra%1.wav").arg(i));
        writeFile(p, toneWav(10));
        player.play(local(p));
        QVERIFY(player.hasSound(local(p)));  // loaded at its first use
    }
    QVERIFY(player.cachedCount() <= pressory::sound::SoundCache<QtSoundPlayer::Sound>::kMaxExtraSounds + 1);
    QVERIFY(player.hasSound(local(table)));
    player.stopAll();
}

QTEST_GUILESS_MAIN(TestQtSoundPlayer)
#include "test_qt_sound_player.moc"
