#include "FileChooser.h"

#include "DialogAnswer.h"

namespace FileChooser {

QFuture<std::optional<QString>> choose(QWidget* parent, const QString& title, const QString& start,
                                       QFileDialog::FileMode mode)
{
    auto* chooser = new QFileDialog(parent, title, start);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setFileMode(mode);
    chooser->setOption(QFileDialog::ShowDirsOnly, mode == QFileDialog::Directory);
    return openForChoice<QString>(chooser, [chooser]() -> std::optional<QString> {
        const QStringList chosen = chooser->selectedFiles();
        return chosen.isEmpty() ? std::nullopt : std::optional(chosen.first());
    });
}

} // namespace FileChooser
