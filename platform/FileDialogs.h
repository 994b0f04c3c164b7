#pragma once
// The one way to ask the user for a file. Every open and save dialog of the
// program goes through Choose_File; tests install a sink that answers in
// the user's place and reads what the dialog would have offered.

#include <QString>
#include <functional>

class QWidget;

namespace vexa {

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString name;           // the dialog's designer name, "OpenDialog1", "SaveDialog1", ...
    QString directory;      // initial folder; empty leaves the platform's choice
    QString filter;         // "Description|*.ext", pairs joined by '|'
    QString defaultSuffix;  // save: added to a name typed without an extension
};

using FileDialogSink = std::function<QString(const FileDialogRequest &)>;

// Shows the dialog modally and returns the chosen file's full path, or an
// empty text when the user cancelled. A save dialog does not ask before
// overwriting. Main thread only.
QString Choose_File(QWidget *parent, const FileDialogRequest &request);

// Replaces the dialogs; an empty sink restores them.
void Set_File_Dialog_Sink(FileDialogSink sink);

// "Description|*.ext|Other|*.x" as the dialog's name filters.
QStringList Name_Filters(const QString &filter);

}  // namespace vexa
