#include "ApplicationChooser.h"

#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"

#include <QCollator>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QList<DesktopApplication> inChooserOrder(QList<DesktopApplication> applications)
{
    QCollator collator(L10n::locale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(applications.begin(), applications.end(),
                     [&collator](const DesktopApplication& a, const DesktopApplication& b) {
                         if (a.handlesType != b.handlesType)
                             return a.handlesType;
                         return collator.compare(a.name, b.name) < 0;
                     });
    return applications;
}

} // namespace

ApplicationChooser::ApplicationChooser(const QString& file, const QList<DesktopApplication>& applications,
                                       QWidget* parent)
    : Retranslating(parent)
{
    m_title = DisplayText::emphasised(new QLabel);
    QLabel* name = DisplayText::plain(new QLabel(QFileInfo(file).fileName()));
    m_list = new QListWidget;
    for (const DesktopApplication& application : inChooserOrder(applications)) {
        auto* item = new QListWidgetItem(QIcon::fromTheme(application.iconName, Icons::icon(u"app"_s)),
                                         application.name, m_list);
        item->setData(Qt::UserRole, application.id);
    }
    m_list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox;
    m_open = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    m_open->setEnabled(m_list->count() > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(name);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    m_open->setDefault(true);
    resize(420, 440);
    retranslate();
}

std::optional<QString> ApplicationChooser::chosenID() const
{
    const QListWidgetItem* item = m_list->currentItem();
    if (!item)
        return std::nullopt;
    return item->data(Qt::UserRole).toString();
}

void ApplicationChooser::retranslate()
{
    setWindowTitle(L("choose_editor"));
    m_title->setText(L("choose_editor"));
    m_list->setAccessibleName(L("choose_editor"));
    m_open->setText(L("open"));
    m_cancel->setText(L("cancel"));
}
