#pragma once

#include "FilePane.h"

#include <QString>

class AppModel;

// The local pane of the model: the folder shown with its entries, selection and search, and the
// file operations on this computer, which act on the file system at once, on the main thread.
class LocalPane {
public:
    // Starts in the Downloads folder, or the home folder when there is none; nothing is listed yet.
    explicit LocalPane(AppModel& model);

    const QString& url() const { return m_url; }
    FilePane& pane() { return m_pane; }
    const FilePane& pane() const { return m_pane; }

    // Lists the folder, hidden entries included, folders first and names in natural order. A
    // selected name that vanished is deselected. On a failure the pane is empty, the selection
    // kept, and the error reported.
    void refresh();
    void open(const QString& folder);
    void chooseFolder();
    void openSelection();
    void createFolder(const QString& name);
    // Renames the single selected item; an item already called `newName` is never replaced.
    void rename(const QString& newName);
    // Moves the selected items to the Trash, in listing order, after the person confirms. The
    // first failure is reported and ends the loop; the pane is listed again in every case.
    void trashSelection();

private:
    QString path(const QString& name) const;

    AppModel& m_model;
    QString m_url;
    FilePane m_pane;
};
