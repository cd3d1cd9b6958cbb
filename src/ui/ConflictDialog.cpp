#include "ConflictDialog.h"

#include "DisplayText.h"
#include "L10n.h"
#include "ProductInfo.h"
#include "TextRules.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString choiceText(ConflictAction action)
{
    switch (action) {
    case ConflictAction::overwrite: return L("overwrite");
    case ConflictAction::resume: return L("resume_file");
    case ConflictAction::rename: return L("rename_keep");
    case ConflictAction::skip: return L("skip_existing");
    case ConflictAction::merge: return L("merge_folders");
    }
    return {};
}

QString hintText(ConflictAction action)
{
    switch (action) {
    case ConflictAction::rename: return L("rename_hint");
    case ConflictAction::merge: return L("merge_hint");
    case ConflictAction::resume: return L("resume_hint");
    default: return {};
    }
}

QString sizeText(const FileEntry& entry)
{
    if (entry.isDirectory)
        return L("folder_item");
    return entry.size ? L10n::byteCount(*entry.size) : QString();
}

} // namespace

ConflictDialog::ConflictDialog(const TransferConflict& conflict, QWidget* parent)
    : Retranslating(parent), m_conflict(conflict)
{
    setWindowTitle(ProductInfo::name());

    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48));
    icon->setAlignment(Qt::AlignTop);
    m_message = DisplayText::emphasised(DisplayText::plain(new QLabel));
    m_message->setWordWrap(true);
    m_informative = DisplayText::plain(new QLabel);
    m_informative->setWordWrap(true);
    QWidget* details = makeDetails();
    connect(m_actions, &QButtonGroup::idToggled, this, &ConflictDialog::showHint);

    auto* buttons = new QDialogButtonBox;
    m_ok = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* text = new QVBoxLayout;
    text->addWidget(m_message);
    text->addWidget(m_informative);
    text->addWidget(details);
    auto* body = new QHBoxLayout;
    body->addWidget(icon);
    body->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addStretch();
    layout->addWidget(buttons);
    // The least the dialog takes; beyond that it is as large as what it says.
    setMinimumSize(560, 510);
    m_ok->setDefault(true);
    retranslate();
}

// What the person decides about: the two items side by side, then the choices that suit them.
QWidget* ConflictDialog::makeDetails()
{
    auto* content = new QWidget;
    const QString& sourcePath = m_conflict.upload ? m_conflict.local : m_conflict.remote;
    const QString& targetPath = m_conflict.upload ? m_conflict.remote : m_conflict.local;
    auto* cards = new QHBoxLayout;
    cards->addWidget(makeCard(m_source, m_conflict.source, sourcePath));
    cards->addWidget(makeCard(m_target, m_conflict.target, targetPath));
    m_heading = DisplayText::emphasised(new QLabel);
    m_actions = new QButtonGroup(this);
    auto* choices = new QVBoxLayout;
    for (ConflictAction action : offeredActions(m_conflict)) {
        auto* choice = new QRadioButton;
        choice->setObjectName(ConflictActions::rawValue(action));
        choice->setEnabled(m_conflict.allows(action));
        choice->setChecked(action == ConflictAction::skip);
        m_actions->addButton(choice, static_cast<int>(action));
        m_choices.insert(action, choice);
        choices->addWidget(choice);
    }
    m_hint = new QLabel;
    m_hint->setWordWrap(true);
    m_applyToBatch = new QCheckBox;
    auto* details = new QVBoxLayout(content);
    details->setContentsMargins(0, 0, 0, 0);
    details->addLayout(cards);
    details->addSpacing(12);
    details->addWidget(m_heading);
    details->addLayout(choices);
    details->addWidget(m_hint);
    details->addWidget(m_applyToBatch);
    return content;
}

QList<ConflictAction> ConflictDialog::offeredActions(const TransferConflict& conflict)
{
    const bool sourceFolder = conflict.source.isDirectory;
    const bool targetFolder = conflict.target.isDirectory;
    QList<ConflictAction> actions;
    if (sourceFolder && targetFolder)
        actions << ConflictAction::merge;
    if (!sourceFolder && !targetFolder)
        actions << ConflictAction::overwrite << ConflictAction::resume;
    return actions << ConflictAction::rename << ConflictAction::skip;
}

ConflictAnswer ConflictDialog::answer() const
{
    return {static_cast<ConflictAction>(m_actions->checkedId()), m_applyToBatch->isChecked()};
}

QWidget* ConflictDialog::makeCard(Card& card, const FileEntry& entry, const QString& path)
{
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    card.caption = DisplayText::emphasised(new QLabel);
    auto* name = DisplayText::emphasised(DisplayText::plain(new QLabel(TextRules::visible(entry.name))));
    name->setWordWrap(true);
    // A long path is shortened in the middle, where it is least telling; the tooltip has it whole.
    auto* location =
        DisplayText::plain(new QLabel(DisplayText::path(frame->fontMetrics().elidedText(path, Qt::ElideMiddle, 240))));
    DisplayText::setPlainToolTip(location, path);
    location->setAccessibleName(path);
    card.size = new QLabel;
    card.date = new QLabel;
    auto* layout = new QVBoxLayout(frame);
    for (QLabel* label : {card.caption, name, location, card.size, card.date})
        layout->addWidget(label);
    card.date->setVisible(entry.modified.has_value());
    return frame;
}

void ConflictDialog::retranslate()
{
    const QLocale locale = L10n::locale();
    m_message->setText(L("conflict_title"));
    m_informative->setText(L("conflict_hint"));
    m_heading->setText(L("conflict_title"));
    m_source.caption->setText(L("source_item"));
    m_target.caption->setText(L("target_item"));
    for (auto [card, entry] : {std::pair{&m_source, &m_conflict.source}, std::pair{&m_target, &m_conflict.target}}) {
        card->size->setText(sizeText(*entry));
        if (entry->modified)
            card->date->setText(DisplayText::dateTime(entry->modified->toLocalTime(), locale));
    }
    for (auto choice = m_choices.cbegin(); choice != m_choices.cend(); ++choice)
        choice.value()->setText(choiceText(choice.key()));
    m_applyToBatch->setText(L("apply_batch"));
    m_ok->setText(L("ok"));
    m_cancel->setText(L("cancel"));
    showHint();
    adjustSize();
}

void ConflictDialog::showHint()
{
    const QString hint = hintText(answer().action);
    m_hint->setText(hint);
    m_hint->setVisible(!hint.isEmpty());
}
