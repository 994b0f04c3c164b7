#pragma once
// Form-based AT script builder, shown modally: a working mode, one of its
// commands, values for its parameters, and the script line they make.

#include <QDialog>

#include "atcommands/CommandTable.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget *parent = nullptr);

    QComboBox *ComboBox1 = nullptr;             // mode
    QComboBox *ComboBox2 = nullptr;             // command
    QPlainTextEdit *Memo1 = nullptr;            // description
    QComboBox *Parameter[kMaxParameters] = {};  // ComboBox3 .. ComboBox7
    QPushButton *SpeedButton1 = nullptr;        // "Добавить в скрипт"
    QPlainTextEdit *Memo2 = nullptr;            // the script being built
    QPushButton *SpeedButton2 = nullptr;        // "Сохранить в файл"

    // Prepares an opening: empty lists and script, the mode list read anew.
    void Open(const QString &startDirectory);

    void ComboBox1Change();
    void ComboBox2Change();
    void SpeedButton1Click();
    void SpeedButton2Click();

private:
    void Build_Controls();

    QString startDirectory_;
    CommandTable table_;
    CommandRecord record_;
};
