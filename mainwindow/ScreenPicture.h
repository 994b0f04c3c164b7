#pragma once
// Image1: shows the terminal's 384 x 6000 picture, kept by the main window.

#include <QWidget>

class ScreenPicture : public QWidget {
    Q_OBJECT
public:
    ScreenPicture(const QImage &picture, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    const QImage &picture_;
};
