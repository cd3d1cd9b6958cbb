#include "TextPrompt.h"

#include "DialogPlacement.h"
#include "DisplayText.h"
#include "L10n.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TextPrompt::TextPrompt(Question question, const QString& text, QWidget* parent)
    : Retranslating(parent), m_question(std::move(question))
{
    m_title = DisplayText::emphasised(new QLabel);
    m_message = DisplayText::plain(new QLabel);
    m_message->setWordWrap(true);
    m_field = new QLineEdit(text);
    m_field->selectAll();
    auto* buttons = new QDialogButtonBox;
    m_cancel = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    m_confirm = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (m_confirm->isEnabled())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_field, &QLineEdit::textChanged, this, &TextPrompt::check);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_message);
    layout->addWidget(m_field);
    layout->addWidget(buttons);
    // Only a button already inside the dialog becomes its default: made earlier, the dialog would
    // pick the first button of the focus chain (Cancel) when shown, and Return would cancel.
    m_confirm->setDefault(true);
    setMinimumWidth(360);
    retranslate();
    check();
}

TextPrompt* TextPrompt::ask(QWidget* parent, Question question, const QString& text,
                            std::function<void(const QString&)> confirmed)
{
    auto* prompt = new TextPrompt(std::move(question), text, parent);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    connect(prompt, &QDialog::accepted, prompt, [prompt, confirmed] { confirmed(prompt->text()); });
    DialogPlacement::shared().registerDialog(prompt);
    prompt->open();
    return prompt;
}

QString TextPrompt::text() const
{
    return m_field->text();
}

void TextPrompt::check()
{
    const QString text = m_field->text();
    m_confirm->setEnabled(m_question.acceptable ? m_question.acceptable(text) : !text.isEmpty());
}

void TextPrompt::retranslate()
{
    setWindowTitle(L(m_question.title));
    m_title->setText(L(m_question.title));
    const QString message = m_question.message ? m_question.message() : QString();
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    m_field->setPlaceholderText(L(m_question.placeholder));
    m_field->setAccessibleName(L(m_question.placeholder));
    m_cancel->setText(L("cancel"));
    m_confirm->setText(L(m_question.confirm));
}
