#include "widgets/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pressory::widgets {

TwipScale screenScale(const QWidget* window) {
    const QScreen* s = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return s ? TwipScale(s->logicalDotsPerInchX(), s->logicalDotsPerInchY()) : TwipScale(96, 96);
}

}  // namespace pressory::widgets
