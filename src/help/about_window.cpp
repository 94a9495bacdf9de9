#include "help/about_window.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

#include "counting/key_layout.h"
#include "help/help_texts.h"
#include "help/version.h"
#include "widgets/app_icon.h"
#include "widgets/twips.h"

namespace pressory::help {
namespace {

using widgets::TwipScale;

// The design, in twips of the client area.
constexpr int kClientWidth = 4500;
constexpr int kClientHeight = 2520;
constexpr counting::TwipRect kIcons[3] = {{240, 240, 480, 480}, {240, 720, 480, 480}, {240, 1200, 480, 480}};
constexpr counting::TwipRect kTitle{1050, 240, 3165, 360};
constexpr counting::TwipRect kCredit{1080, 600, 3195, 360};
constexpr counting::TwipRect kDescription{1080, 960, 3195, 810};
constexpr counting::TwipRect kKeySource{1080, 1200, 3195, 690};  // the description's lower part
constexpr counting::TwipLine kRule{120, 1920, 4320, 1920};
constexpr counting::TwipRect kOk{3000, 2028, 1380, 345};

// A proportional Japanese Gothic face where the system has one; whatever the
// system offers otherwise.
QFont aboutFont(const QFont& base) {
    QFont f = base;
    f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("Noto Sans JP"), QStringLiteral("IPAPGothic")});
    f.setPointSize(9);
    return f;
}

QLabel* blackLabel(QWidget* parent, const char* name, const QRect& r) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(p);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// One line of the etched rule: a filled strip `thickness` pixels high.
QWidget* ruleLine(QWidget* parent, const char* name, const QLine& l, int thickness, const QColor& colour) {
    auto* w = new QWidget(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(l.x1(), l.y1(), l.x2() - l.x1() + 1, thickness);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    return w;
}

}  // namespace

QString titleLine(int major, int minor, int revision) {
    return QStringLiteral("Pressory") + texts::kVersionWord + QString::number(major) + QLatin1Char('.') +
           QString::number(minor) + QLatin1Char('.') + QString::number(revision);
}

QString creditLine(const QString& companyName) { return QStringLiteral("Copyright (C) ") + companyName; }

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(texts::kAboutCaption);
    setFont(aboutFont(font()));
    const TwipScale tw = widgets::screenScale();
    setFixedSize(tw.x(kClientWidth), tw.y(kClientHeight));

    const QPixmap icon = widgets::appIcon().pixmap(32, 32);
    for (int i = 0; i < 3; ++i) {
        auto* pic = new QLabel(this);
        pic->setObjectName(QStringLiteral("picIcon(%1)").arg(i));
        pic->setGeometry(tw.rect(kIcons[i]));
        pic->setPixmap(icon);
        pic->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picIcon_[static_cast<std::size_t>(i)] = pic;
    }
    lblTitle_ = blackLabel(this, "lblTitle", tw.rect(kTitle));
    lblCredit_ = blackLabel(this, "lblCredit", tw.rect(kCredit));
    lblDescription_ = blackLabel(this, "lblDescription", tw.rect(kDescription));
    lblDescription_->setWordWrap(true);
    lblKeySource_ = blackLabel(this, "lblKeySource", tw.rect(kKeySource));
    lblKeySource_->setWordWrap(true);

    // The etched rule: a white line two pixels high under a grey one.
    const QLine rule = tw.line(kRule);
    separators_[0] = ruleLine(this, "Line1(0)", rule, 2, QColor(0xFF, 0xFF, 0xFF));
    separators_[1] = ruleLine(this, "Line1(1)", rule, 1, QColor(0x80, 0x80, 0x80));
    separators_[1]->raise();

    cmdOK_ = new QPushButton(texts::kOk, this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(tw.rect(kOk));
    cmdOK_->setDefault(true);  // Enter; Esc closes the dialog as well
    connect(cmdOK_, &QPushButton::clicked, this, &AboutWindow::onCmdOkClicked);
    cmdOK_->setFocus();
}

void AboutWindow::load() {
    lblTitle_->setText(titleLine(version::kMajor, version::kMinor, version::kRevision));
    lblCredit_->setText(creditLine(QString::fromUtf8(version::kCompanyName)));
}

void AboutWindow::setKeySource(const QString& inUse) {
    lblKeySource_->setText(inUse.isEmpty() ? QString() : texts::kKeySourceInUse.arg(inUse));
}

void AboutWindow::onCmdOkClicked() { accept(); }

void showVersionWindow(QWidget* parent, const QString& keySource) {
    AboutWindow window(parent);
    window.load();
    window.setKeySource(keySource);
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), window.size());
        r.moveCenter(s->geometry().center());
        window.move(r.topLeft());
    }
    window.exec();
}

}  // namespace pressory::help
