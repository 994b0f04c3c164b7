#include "mainwindow/ScreenPicture.h"

#include <QMouseEvent>
#include <QPainter>

#include "mainwindow/ScreenGeometry.h"

ScreenPicture::ScreenPicture(const QImage &picture, QWidget *parent) : QWidget(parent), picture_(picture)
{
    setObjectName(QStringLiteral("Image1"));
    setFixedSize(kScreenWidth, kScreenHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScreenPicture::paintEvent(QPaintEvent *e)
{
    QPainter painter(this);
    painter.drawImage(e->rect(), picture_, e->rect());
}

void ScreenPicture::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit clicked();
    QWidget::mousePressEvent(e);
}
