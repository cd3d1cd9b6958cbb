#include "WindowPrompter.h"

#include "ApplicationChooser.h"
#include "ConflictDialog.h"
#include "DialogAnswer.h"
#include "DisplayText.h"
#include "FileChooser.h"
#include "L10n.h"
#include "ProductInfo.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A message box that every way of leaving without a button (Escape, the close button) dismisses.
// A plain QMessageBox would instead press a button it guesses to be the cancelling one, which for
// "continue" / "quit" would be the wrong one.
class AlertBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Cancel))
            reject();
        else
            QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        reject();
    }
};

} // namespace

WindowPrompter::WindowPrompter(QWidget* window) : m_window(window) {}

QWidget* WindowPrompter::owner() const
{
    QWidget* top = QApplication::activeModalWidget();
    for (QWidget* over = top; over && m_window; over = over->parentWidget())
        if (over == m_window)
            return top;
    return m_window;
}

QFuture<int> WindowPrompter::alert(const PromptAlert& alert)
{
    const QMessageBox::Icon icon =
        alert.style == PromptAlert::Style::warning ? QMessageBox::Warning : QMessageBox::Information;
    auto* box = new AlertBox(icon, ProductInfo::name(), alert.message, QMessageBox::NoButton, owner());
    box->setInformativeText(alert.informativeText);
    // Messages quote server names and errors: shown as they stand, never as markup.
    for (QLabel* label : box->findChildren<QLabel*>())
        DisplayText::plain(label);
    QList<QPushButton*> buttons;
    for (const QString& text : alert.buttons)
        buttons << box->addButton(text, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    if (!buttons.isEmpty())
        box->setDefaultButton(buttons.first());
    return openForAnswer<int>(
        box,
        [box, buttons] { return static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box->clickedButton()))); },
        -1);
}

QFuture<std::optional<ConflictAnswer>> WindowPrompter::conflict(const TransferConflict& conflict)
{
    auto* dialog = new ConflictDialog(conflict, owner());
    return openForChoice<ConflictAnswer>(dialog, [dialog] { return std::optional(dialog->answer()); });
}

QFuture<std::optional<QString>> WindowPrompter::chooseFolder(const QString& start)
{
    return FileChooser::choose(owner(), L("choose_folder"), start, QFileDialog::Directory);
}

QFuture<std::optional<QString>> WindowPrompter::chooseApplication(const QString& file,
                                                                  const QList<DesktopApplication>& applications)
{
    auto* chooser = new ApplicationChooser(file, applications, owner());
    return openForChoice<QString>(chooser, [chooser] { return chooser->chosenID(); });
}
