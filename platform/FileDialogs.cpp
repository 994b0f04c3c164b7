#include "platform/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace vexa {
namespace {

FileDialogSink &Sink()
{
    static FileDialogSink sink;
    return sink;
}

}  // namespace

QStringList Name_Filters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return filters;
}

QString Choose_File(QWidget *parent, const FileDialogRequest &request)
{
    if (Sink())
        return Sink()(request);
    QFileDialog dialog(parent);
    dialog.setObjectName(request.name);
    dialog.setNameFilters(Name_Filters(request.filter));
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (request.kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDefaultSuffix(request.defaultSuffix);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void Set_File_Dialog_Sink(FileDialogSink sink) { Sink() = std::move(sink); }

}  // namespace vexa
