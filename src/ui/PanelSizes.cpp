#include "PanelSizes.h"

#include "L10n.h"

#include <QSettings>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace PanelSizes {

namespace {

int clamped(double stored, int minimum, int maximum)
{
    // A stored value that is not a number (a hand-edited file) is as good as none.
    const double value = std::isfinite(stored) ? stored : minimum;
    return int(std::lround(std::clamp(value, double(minimum), double(maximum))));
}

double stored(const QString& key, double fallback)
{
    const QSettings preferences = L10n::preferences();
    bool number = false;
    const double value = preferences.value(key).toDouble(&number);
    return number && std::isfinite(value) ? value : fallback;
}

void store(const QString& key, const QVariant& value)
{
    QSettings preferences = L10n::preferences();
    preferences.setValue(key, value);
}

} // namespace

int sidebarMinimum()
{
    return 180;
}

int sidebarMaximum(int windowWidth)
{
    return std::max(windowWidth - 647, sidebarMinimum());
}

int sidebarWidth(double stored, int windowWidth)
{
    return clamped(stored, sidebarMinimum(), sidebarMaximum(windowWidth));
}

int transferPanelMinimum()
{
    return 120;
}

int transferPanelMaximum(int windowHeight)
{
    return std::max(windowHeight - 330, transferPanelMinimum());
}

int transferPanelHeight(double stored, int windowHeight)
{
    return clamped(stored, transferPanelMinimum(), transferPanelMaximum(windowHeight));
}

double storedSidebarWidth()
{
    return stored(u"sidebarWidth"_s, defaultSidebarWidth);
}

void storeSidebarWidth(double width)
{
    store(u"sidebarWidth"_s, width);
}

double storedTransferPanelHeight()
{
    return stored(u"transferPanelHeight"_s, defaultTransferPanelHeight);
}

void storeTransferPanelHeight(double height)
{
    store(u"transferPanelHeight"_s, height);
}

QByteArray storedWindowGeometry()
{
    const QSettings preferences = L10n::preferences();
    return preferences.value(u"windowGeometry"_s).toByteArray();
}

void storeWindowGeometry(const QByteArray& geometry)
{
    store(u"windowGeometry"_s, geometry);
}

} // namespace PanelSizes
