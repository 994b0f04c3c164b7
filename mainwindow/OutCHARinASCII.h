#pragma once
// The ASCII code view, TForm4: every printed byte as its decimal code and its
// character, fed all the time whether shown or not.

#include <QDialog>
#include <cstddef>
#include <cstdint>
#include <vector>

class QPlainTextEdit;
class QTimer;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);

    // One line per byte, in order; the 16384-line rule applies line by line.
    // The bytes are kept and their lines written into Memo1 when the view is
    // shown, and while it is open at most every kRefreshMs (longer when a
    // refresh itself is slow): a burst costs a copy, not up to 16383 lines
    // of text layout, and bursts back to back share one layout, laid out a
    // slice at a time.
    void Add_Bytes(const std::uint8_t *bytes, std::uint32_t count);
    void Memo1DblClick();
    int Line_Count() const { return static_cast<int>(lines_); }
    QString Line(int index) const;

    QPlainTextEdit *Memo1 = nullptr;
    static constexpr int kRefreshMs = 100;
    static constexpr std::size_t kLinesPerRefresh = 1024;
    static constexpr int kSliceGapMs = 10;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Show_Lines();

    std::uint32_t lines_ = 0;
    std::uint32_t shownLines_ = 0;       // lines of the list that Memo1 holds
    std::vector<std::uint8_t> unshown_;  // the bytes of the lines after those
    bool memoStale_ = false;             // Memo1 holds lines of an emptied list
    QTimer *refresh_ = nullptr;
};
