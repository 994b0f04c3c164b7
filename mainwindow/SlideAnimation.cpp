#include "mainwindow/SlideAnimation.h"

#include <QRegion>
#include <QVariantAnimation>
#include <QWidget>

namespace {

void Slide(QWidget *window, bool in, std::function<void()> done)
{
    auto *animation = new QVariantAnimation(window);
    animation->setDuration(kSlideMs);
    animation->setStartValue(in ? 0.0 : 1.0);
    animation->setEndValue(in ? 1.0 : 0.0);
    QObject::connect(animation, &QVariantAnimation::valueChanged, window, [window](const QVariant &value) {
        const int width = qMax(1, int(window->width() * value.toDouble()));
        window->setMask(QRegion(0, 0, width, window->height()));
    });
    QObject::connect(animation, &QVariantAnimation::finished, window, [window, in, done] {
        if (in)
            window->clearMask();
        if (done)
            done();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace

void Slide_In(QWidget *window) { Slide(window, true, nullptr); }

void Slide_Out(QWidget *window, std::function<void()> done) { Slide(window, false, std::move(done)); }
