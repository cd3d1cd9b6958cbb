#include "SheetWindow.h"

#include "DisplayText.h"
#include "L10n.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SheetWindow::SheetWindow(const char* title, const char* hint, QWidget* parent)
    : Retranslating(parent), m_titleKey(title), m_hintKey(hint)
{
    m_title = DisplayText::emphasised(new QLabel, 1.3);
    m_hint = new QLabel;
    m_hint->setWordWrap(true);
    m_close = new QPushButton;
    m_close->setAutoDefault(false);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_close);
    m_layout = new QVBoxLayout(this);
    m_layout->addWidget(m_title);
    m_layout->addWidget(m_hint);
    m_layout->addLayout(buttons);
}

void SheetWindow::setContent(QWidget* content)
{
    m_layout->insertWidget(2, content, 1);
}

void SheetWindow::retranslate()
{
    setWindowTitle(L(m_titleKey));
    m_title->setText(L(m_titleKey));
    m_hint->setText(L(m_hintKey));
    m_close->setText(L("cancel"));
}
