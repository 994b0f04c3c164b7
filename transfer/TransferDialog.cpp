#include "transfer/TransferDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "platform/Controls.h"
#include "platform/LocalTime.h"

namespace {
constexpr int kCaptionX = 10, kFieldX = 160;
constexpr int kClockTickMs = 1000;
}  // namespace

TransferDialog::TransferDialog(QWidget *parent, const char *name, const QString &caption, QSize size) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setFixedSize(size);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(false);
}

QLineEdit *TransferDialog::Field(const char *name, const QString &caption, int y, int width)
{
    Label(caption, this, kCaptionX, y + 3);
    return ::Field(name, this, {kFieldX, y, width, 20}, FieldUse::Display);
}

QProgressBar *TransferDialog::Gauge(const char *name, int y, const char *colour)
{
    gauge_ = ::Gauge(name, this, {kCaptionX, y, width() - 2 * kCaptionX, 18}, Qt::Horizontal, colour);
    return gauge_;
}

void TransferDialog::Show_Progress(std::uint64_t k, std::uint64_t total)
{
    const std::uint64_t scale = total / INT_MAX + 1;
    gauge_->setRange(0, static_cast<int>(std::max<std::uint64_t>(total / scale, 1)));
    gauge_->setValue(static_cast<int>(std::min(k, total) / scale));
}

QPushButton *TransferDialog::Button(const char *name, const QString &caption, int x, int y)
{
    return ::Button(name, caption, this, {x, y, 120, 26});
}

QTimer *TransferDialog::Clock(const char *timerName, QLineEdit *field)
{
    tick_ = Timer(timerName, this, kClockTickMs);
    clockField_ = field;
    connect(tick_, &QTimer::timeout, this, &TransferDialog::Show_Elapsed);
    return tick_;
}

void TransferDialog::Show_Elapsed() { clockField_->setText(Long_Time_Text(QTime(0, 0).addMSecs(clock_.elapsed()))); }

void TransferDialog::Start_Clock()
{
    clock_.start();
    Show_Elapsed();
    tick_->start();
}

// The field keeps the time the transfer took.
void TransferDialog::Stop_Clock()
{
    if (!tick_->isActive())
        return;
    tick_->stop();
    Show_Elapsed();
}

bool TransferDialog::Clock_Running() const { return tick_->isActive(); }

void TransferDialog::Show_Centred()
{
    if (!isVisible() && parentWidget())
        move(parentWidget()->geometry().center() - rect().center());
    show();
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
}

void TransferDialog::closeEvent(QCloseEvent *e) { e->ignore(); }
