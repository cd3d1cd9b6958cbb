#include "RemoteEditsView.h"

#include "AppModel.h"
#include "DisplayText.h"
#include "L10n.h"
#include "RemoteEditListModel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

RemoteEditsView::RemoteEditsView(AppModel& model, QWidget* parent)
    : SheetWindow("remote_edits", "edit_hint", parent), m_model(model)
{
    auto* area = new QWidget;
    m_rowsArea = new QWidget;
    m_rowsLayout = new QVBoxLayout(m_rowsArea);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_empty = new QLabel;
    m_empty->setForegroundRole(QPalette::PlaceholderText);
    m_empty->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(area);
    layout->addWidget(m_rowsArea);
    layout->addWidget(m_empty);
    layout->addStretch();
    auto* scroll = new QScrollArea;
    scroll->setWidget(area);
    scroll->setWidgetResizable(true);
    setContent(scroll);
    setFixedSize(740, 460);

    RemoteEditListModel* edits = m_model.remoteEditList();
    connect(edits, &QAbstractItemModel::modelReset, this, &RemoteEditsView::showRows);
    connect(edits, &QAbstractItemModel::rowsInserted, this, &RemoteEditsView::showRows);
    connect(edits, &QAbstractItemModel::rowsRemoved, this, &RemoteEditsView::showRows);
    connect(edits, &QAbstractItemModel::dataChanged, this, &RemoteEditsView::showStates);
    connect(&m_model, &AppModel::isWorkingChanged, this, &RemoteEditsView::showStates);
    showRows();
}

// One row per edit, in list order; built again when edits come or go, which is rare.
void RemoteEditsView::showRows()
{
    m_rows.clear();
    // A row's own button may have asked for this: the row goes from view at once, from memory later.
    while (QLayoutItem* item = m_rowsLayout->takeAt(0)) {
        QWidget* row = item->widget();
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
        delete item;
    }
    const int count = m_model.remoteEditList()->rowCount();
    for (int row = 0; row < count; ++row)
        m_rowsLayout->addWidget(makeRow(row));
    m_empty->setVisible(count == 0);
    retranslate();
}

QWidget* RemoteEditsView::makeRow(int row)
{
    const QModelIndex edit = m_model.remoteEditList()->index(row);
    const QUuid id = edit.data(RemoteEditListModel::IdRole).toUuid();
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto* name = DisplayText::emphasised(DisplayText::plain(new QLabel(edit.data(Qt::DisplayRole).toString())));
    auto* modified = DisplayText::emphasised(new QLabel);
    QPalette orange = modified->palette();
    orange.setColor(QPalette::WindowText, QColor(0xc6, 0x6a, 0x00));
    modified->setPalette(orange);
    auto* detail =
        DisplayText::plain(new QLabel(DisplayText::path(edit.data(RemoteEditListModel::DetailRole).toString())));
    detail->setForegroundRole(QPalette::PlaceholderText);
    detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Row controls{id, modified, new QPushButton, new QPushButton, new QPushButton, new QPushButton};
    connect(controls.edit, &QPushButton::clicked, &m_model, [this, id] { m_model.openEdit(id); });
    connect(controls.upload, &QPushButton::clicked, &m_model, [this, id] { m_model.uploadEdit(id); });
    connect(controls.show, &QPushButton::clicked, &m_model, [this, id] { m_model.showEditInFileManager(id); });
    connect(controls.forget, &QPushButton::clicked, &m_model, [this, id] { m_model.forgetEdit(id); });
    m_rows.append(controls);

    auto* title = new QHBoxLayout;
    title->addWidget(name);
    title->addWidget(modified);
    title->addStretch();
    auto* text = new QVBoxLayout;
    text->addLayout(title);
    text->addWidget(detail);
    auto* layout = new QHBoxLayout(frame);
    layout->addLayout(text, 1);
    for (QPushButton* button : {controls.edit, controls.upload, controls.show, controls.forget}) {
        button->setAutoDefault(false);
        layout->addWidget(button);
    }
    return frame;
}

void RemoteEditsView::showStates()
{
    const RemoteEditListModel& edits = *m_model.remoteEditList();
    for (const Row& row : std::as_const(m_rows)) {
        const std::optional<int> index = edits.row(row.id);
        const bool changed = index && edits.index(*index).data(RemoteEditListModel::ChangedRole).toBool();
        row.modified->setVisible(changed);
        row.upload->setEnabled(changed && !m_model.isWorking());
    }
}

void RemoteEditsView::retranslate()
{
    SheetWindow::retranslate();
    m_empty->setText(L("no_files"));
    for (const Row& row : std::as_const(m_rows)) {
        row.modified->setText(L("modified"));
        row.edit->setText(L("edit_remote"));
        row.upload->setText(L("upload_edit"));
        row.show->setText(L("show_finder"));
        row.forget->setText(L("delete"));
    }
    showStates();
}
