#pragma once
// The ASCII code view, TForm4: every printed byte as its decimal code and its
// character, fed all the time whether shown or not.

#include <QDialog>
#include <cstdint>

class QPlainTextEdit;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    // One line per byte, in order; the 16384-line rule applies line by line.
    void Add_Bytes(const std::uint8_t *bytes, std::uint32_t count);
    void Memo1DblClick();
    int Line_Count() const { return static_cast<int>(lines_); }
    QString Line(int index) const;

    QPlainTextEdit *Memo1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::uint32_t lines_ = 0;
};
