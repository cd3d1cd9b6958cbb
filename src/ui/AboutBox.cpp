#include "AboutBox.h"

#include "DialogPlacement.h"
#include "DisplayText.h"
#include "L10n.h"
#include "ProductInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

AboutBox::AboutBox(QWidget* parent) : Retranslating(parent)
{
    auto* picture = new QLabel;
    picture->setPixmap(QApplication::windowIcon().pixmap(96));
    QLabel* name = DisplayText::emphasised(new QLabel(ProductInfo::name()), 1.4);
    auto* version = new QLabel(ProductInfo::version() + u" ("_s + ProductInfo::buildNumber() + u')');
    m_credits = new QLabel;
    QFont creditsFont = m_credits->font();
    creditsFont.setPointSize(13);
    m_credits->setFont(creditsFont);
    m_credits->setWordWrap(true);
    m_close = new QPushButton;
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    for (QLabel* label : {picture, name, version, m_credits}) {
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    layout->addWidget(m_close, 0, Qt::AlignCenter);
    m_close->setDefault(true);
    setMinimumWidth(320);
    retranslate();
    DialogPlacement::shared().registerDialog(this);
}

AboutBox* AboutBox::present(QWidget* parent)
{
    auto* box = new AboutBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    return box;
}

void AboutBox::retranslate()
{
    setWindowTitle(L("about_app"));
    m_credits->setText(L("app_author"));
    m_close->setText(L("ok"));
}
