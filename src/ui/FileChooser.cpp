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
    return openForAnswer<std::optional<QString>>(
        chooser,
        [chooser]() -> std::optional<QString> {
            const QStringList chosen = chooser->selectedFiles();
            if (chooser->result() != QDialog::Accepted || chosen.isEmpty())
                return std::nullopt;
            return chosen.first();
        },
        std::nullopt);
}

} // namespace FileChooser
