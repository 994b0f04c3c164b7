#pragma once
// The editor window shared by AT command lists (TForm2) and AT scripts
// (TForm3): a file name, the text, "Дерево" to pick the name, "Сохранить в
// файл" to write the text and close. It keeps nothing between openings.

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

struct EditorKind {
    const char *Name_Label;  // UTF-8
    const char *Save_Filter;
    const char *Default_Suffix;
};

class AtFileEditor : public QDialog {
    Q_OBJECT
public:
    QLineEdit *Edit1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *SpeedButton1 = nullptr;  // "Дерево"
    QPushButton *SpeedButton2 = nullptr;  // "Сохранить в файл"

    // Shows the editor modally under the caption: empty, or with the file's
    // full path and its text. A file that cannot be read is reported and the
    // editor is not shown. Relative names are resolved against the start
    // directory.
    void Open(const QString &caption, const QString &startDirectory, const QString &path = QString());

    void SpeedButton1Click();
    void SpeedButton2Click();

protected:
    AtFileEditor(QWidget *parent, const EditorKind &kind);

private:
    bool Load(const QString &path);

    EditorKind kind_;
    QString startDirectory_;
};
