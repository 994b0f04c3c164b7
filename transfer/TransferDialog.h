#pragma once
// What the send and receive dialogs share: read-only fields with their
// captions, a progress gauge, the elapsed-time clock of one transfer, and a
// frame that the user closes only with the dialog's own buttons.

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class TransferDialog : public QDialog {
    Q_OBJECT
public:
    TransferDialog(QWidget *parent, const char *name, const QString &caption, QSize size);

    // Elapsed time counts from the start of each transfer on a monotonic
    // clock; the tick only shows it.
    void Start_Clock();
    void Stop_Clock();
    bool Clock_Running() const;
    // The gauge at frame k of total (scaled when the count outgrows it).
    void Show_Progress(std::uint64_t k, std::uint64_t total);
    // Shown centred on the main window, with no control holding the keyboard.
    void Show_Centred();
    void reject() override {}

protected:
    QLineEdit *Field(const char *name, const QString &caption, int y, int width = 120);
    QProgressBar *Gauge(const char *name, int y, const char *colour);
    QPushButton *Button(const char *name, const QString &caption, int x, int y);
    void closeEvent(QCloseEvent *e) override;
    // The 1000 ms timer whose tick shows the elapsed time in the field.
    QTimer *Clock(const char *timerName, QLineEdit *field);

private:
    void Show_Elapsed();

    QProgressBar *gauge_ = nullptr;
    QTimer *tick_ = nullptr;
    QLineEdit *clockField_ = nullptr;
    QElapsedTimer clock_;
};
