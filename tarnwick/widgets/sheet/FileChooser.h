#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The pages' file dialogs behind a seam, so that tests see what a dialog
// would start with and answer it without a dialog on screen.
namespace tarnwick {

struct FileDialogRequest
{
    enum class Kind {
        OpenExisting, // the file must exist
        Save, // the folder must exist; no question before overwriting
    };
    Kind kind = Kind::OpenExisting;
    QString initialPath;
    QString defaultSuffix; // without the dot
    QString filter; // Qt's form; the first entry is selected
};

// The chosen full path; none when the user cancelled.
using FileChooserFunction = std::function<std::optional<QString>(QWidget* parent, const FileDialogRequest&)>;

std::optional<QString> ChooseFile(QWidget* parent, const FileDialogRequest& request);

// Replaces the dialog (none = Qt's file dialog again); returns the one before.
FileChooserFunction SetFileChooser(FileChooserFunction chooser);

class ScopedFileChooser
{
public:
    explicit ScopedFileChooser(FileChooserFunction chooser)
        : m_previous(SetFileChooser(std::move(chooser)))
    {
    }
    ~ScopedFileChooser() { SetFileChooser(std::move(m_previous)); }
    ScopedFileChooser(const ScopedFileChooser&) = delete;
    ScopedFileChooser& operator=(const ScopedFileChooser&) = delete;

private:
    FileChooserFunction m_previous;
};

} // namespace tarnwick
