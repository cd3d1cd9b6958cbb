#include "StatusLine.h"

#include "AppModel.h"
#include "Icons.h"
#include "L10n.h"

#include <QLabel>

using namespace Qt::StringLiterals;

StatusLine::StatusLine(AppModel& model, QWidget* parent) : Retranslating(parent), m_model(model)
{
    m_icon = new QLabel;
    m_connection = new QLabel;
    m_completed = new QLabel;
    m_queued = new QLabel;
    addWidget(m_icon);
    addWidget(m_connection, 1);
    addPermanentWidget(m_completed);
    addPermanentWidget(m_queued);
    setSizeGripEnabled(false);
    for (auto change :
         {&AppModel::connectedProfileChanged, &AppModel::completedCountChanged, &AppModel::pendingCountChanged})
        connect(&m_model, change, this, &StatusLine::retranslate);
    retranslate();
}

void StatusLine::retranslate()
{
    const bool connected = m_model.isConnected();
    m_icon->setPixmap(Icons::icon(connected ? u"network"_s : u"circle.dotted"_s).pixmap(16));
    m_connection->setText(connected ? L("connected") : L("disconnected"));
    const QLocale locale = L10n::locale();
    m_completed->setText(L("completed_count", locale.toString(m_model.completedCount())));
    m_queued->setText(L("queued_count", locale.toString(m_model.pendingCount())));
}
