#pragma once

#include "Prompter.h"
#include "Retranslating.h"
#include "TransferConflict.h"

#include <QDialog>
#include <QHash>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

// Describes an item that is in the way of a transfer next to the item being sent, and asks what to
// do about it, optionally for the rest of the batch. Accepting without a choice means skip.
class ConflictDialog : public Retranslating<QDialog> {
    Q_OBJECT

public:
    explicit ConflictDialog(const TransferConflict& conflict, QWidget* parent = nullptr);

    // The actions that suit the kinds of the two items, in the order they are offered; of these,
    // only those that TransferConflict::allows are enabled.
    static QList<ConflictAction> offeredActions(const TransferConflict& conflict);

    ConflictAnswer answer() const;

private:
    struct Card {
        QLabel* caption = nullptr;
        QLabel* size = nullptr;
        QLabel* date = nullptr;
    };

    QWidget* makeDetails();
    QWidget* makeCard(Card& card, const FileEntry& entry, const QString& path);
    void retranslate() override;
    void showHint();

    TransferConflict m_conflict;
    QLabel* m_message = nullptr;
    QLabel* m_informative = nullptr;
    Card m_source;
    Card m_target;
    QLabel* m_heading = nullptr;
    QButtonGroup* m_actions = nullptr;
    QHash<ConflictAction, QRadioButton*> m_choices;
    QLabel* m_hint = nullptr;
    QCheckBox* m_applyToBatch = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
