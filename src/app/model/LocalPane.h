#pragma once

#include "FilePane.h"
#include "PartContext.h"
#include "TaskSlot.h"

#include <QObject>
#include <QString>
#include <stop_token>

// The local pane of the model: the folder shown with its entries, selection and search, and the
// file operations on this computer. The operations act on the file system at once; a listing
// runs on the pool, and only the newest one is shown. The folder changes with the listing that
// shows it, so that the entries are always those of url().
class LocalPane : public FilePane {
    Q_OBJECT

public:
    // Starts in the Downloads folder, or the home folder when there is none; nothing is listed yet.
    explicit LocalPane(const PartContext& context, QObject* parent = nullptr);

    // The person's Downloads folder, or the home folder when there is none.
    static QString downloadsFolder();
    // The entries of `folder`, hidden ones included, folders first and names in natural order.
    static QList<FileEntry> list(const QString& folder, std::stop_token token);

    const QString& url() const { return m_url; }
    // A listing runs.
    bool listing() const { return m_listing.running(); }

    QString place() const override;
    // Lists the folder again. A selected name that vanished is deselected. On a failure the pane
    // is empty, the selection kept, and the error reported.
    void refresh() override;
    void open(const QString& folder);
    void goUp() override;
    void goTo(const QString& folder) override;
    void chooseFolder() override;
    void openSelection() override;
    void showSelectionInFileManager() override;
    // Shows a file or folder selected in the file manager, or opens its folder when no file
    // manager answers; a failure is reported.
    void showInFileManager(const QString& path);

protected:
    void makeFolder(const QString& name) override;
    void renameSelected(const QString& newName) override;
    // Moves the selected items to the Trash, in listing order, after the person confirms. The
    // first failure is reported and ends the loop; the pane is listed again in every case.
    void removeSelection() override;

private:
    QString path(const QString& name) const;

    PartContext m_context;
    QString m_url;
    // The folder listed next: url(), or the one being opened.
    QString m_target;
    TaskSlot m_listing;
};
