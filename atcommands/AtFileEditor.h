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

    // A fresh opening: the caption, an empty name and text. Relative names
    // are resolved against the start directory.
    void Begin(const QString &caption, const QString &startDirectory);
    // The file's full path into the name field and its text into the editor;
    // false, with the reason shown, when it cannot be read.
    bool Load(const QString &path);

    void SpeedButton1Click();
    void SpeedButton2Click();

protected:
    AtFileEditor(QWidget *parent, const EditorKind &kind);

private:
    EditorKind kind_;
    QString startDirectory_;
};
