#include "tarnwick/widgets/sheet/FileChooser.h"

#include <QFileDialog>

namespace tarnwick {

namespace {

FileChooserFunction& Chooser()
{
    static FileChooserFunction chooser;
    return chooser;
}

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogRequest& request)
{
    QFileDialog dialog(parent);
    const bool save = request.kind == FileDialogRequest::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    const QFileInfo start(request.initialPath);
    if (!request.initialPath.isEmpty()) {
        if (start.isAbsolute())
            dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> ChooseFile(QWidget* parent, const FileDialogRequest& request)
{
    if (Chooser())
        return Chooser()(parent, request);
    return RunFileDialog(parent, request);
}

FileChooserFunction SetFileChooser(FileChooserFunction chooser)
{
    FileChooserFunction previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

} // namespace tarnwick
