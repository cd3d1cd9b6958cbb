#include "L10n.h"

#include "AppLanguage.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <mutex>
#include <optional>

namespace L10n {
namespace {

using Table = QHash<QString, QString>;
using Catalogue = QHash<QString, Table>;

std::mutex selectionLock;
std::optional<QString> selection;
PreferredLanguages preferredLanguages = [] { return QLocale::system().uiLanguages(); };

QString currentSelection()
{
    std::lock_guard guard(selectionLock);
    if (!selection) {
        const QVariant stored = preferences().value(QLatin1String(preferenceKey));
        selection = stored.isValid() ? stored.toString() : QStringLiteral("en");
    }
    return *selection;
}

std::optional<QByteArray> readCatalogueFile()
{
    QStringList candidates{QStringLiteral(":/Translations.json")};
    const QString installed =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("dravik/Translations.json"));
    if (!installed.isEmpty())
        candidates << installed;
    for (const QString& path : candidates) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return std::nullopt;
}

// A document that is not an object of objects of strings yields no catalogue at all.
Catalogue decodeCatalogue(const QByteArray& bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return {};
    Catalogue catalogue;
    const QJsonObject languages = document.object();
    for (auto language = languages.begin(); language != languages.end(); ++language) {
        if (!language->isObject())
            return {};
        Table table;
        const QJsonObject texts = language->toObject();
        for (auto entry = texts.begin(); entry != texts.end(); ++entry) {
            if (!entry->isString())
                return {};
            table.insert(entry.key(), entry->toString());
        }
        catalogue.insert(language.key(), table);
    }
    return catalogue;
}

const Catalogue& catalogue()
{
    static const Catalogue loaded = [] {
        const std::optional<QByteArray> bytes = readCatalogueFile();
        return bytes ? decodeCatalogue(*bytes) : Catalogue{};
    }();
    return loaded;
}

} // namespace

QString format(QString text, const QStringList& args)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{(\\d+)\\}"));
    QList<QRegularExpressionMatch> matches;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        matches << it.next();
    for (auto match = matches.crbegin(); match != matches.crend(); ++match) {
        bool ok = false;
        const int index = match->captured(1).toInt(&ok);
        if (ok && index >= 0 && index < args.size())
            text.replace(match->capturedStart(), match->capturedLength(), args.at(index));
    }
    return text;
}

QString settingsOrganisation()
{
    return QStringLiteral("app.dravik.application");
}

QSettings preferences()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, settingsOrganisation());
}

QString resolve(const QString& requested)
{
    if (AppLanguage::isSupported(requested))
        return requested;
    if (requested != QLatin1String("system"))
        return QStringLiteral("en");
    PreferredLanguages source;
    {
        std::lock_guard guard(selectionLock);
        source = preferredLanguages;
    }
    for (const QString& language : source()) {
        const QString base = language.section(QLatin1Char('-'), 0, 0);
        if (base == QLatin1String("zh"))
            return QStringLiteral("zh-Hans");
        if (AppLanguage::isSupported(base))
            return base;
    }
    return QStringLiteral("en");
}

QString code()
{
    return resolve(currentSelection());
}

QLocale locale()
{
    return QLocale(code());
}

QString text(const QString& key, const QStringList& args)
{
    const Catalogue& texts = catalogue();
    const auto lookup = [&](const QString& language) -> std::optional<QString> {
        const auto table = texts.constFind(language);
        if (table == texts.cend())
            return std::nullopt;
        const auto found = table->constFind(key);
        return found == table->cend() ? std::nullopt : std::optional<QString>(*found);
    };
    const QString found = lookup(code()).value_or(lookup(QStringLiteral("en")).value_or(key));
    return args.isEmpty() ? found : format(found, args);
}

void selectForThisRun(const QString& requested)
{
    std::lock_guard guard(selectionLock);
    selection = requested;
}

void select(const QString& requested)
{
    selectForThisRun(requested);
    preferences().setValue(QLatin1String(preferenceKey), requested);
}

void setPreferredLanguages(PreferredLanguages source)
{
    std::lock_guard guard(selectionLock);
    preferredLanguages = std::move(source);
}

QString byteCount(qint64 bytes)
{
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(std::max<qint64>(bytes, 0));
    int unit = 0;
    while (value >= 1000 && unit < 6) {
        value /= 1000;
        ++unit;
    }
    QLocale numbers = locale();
    numbers.setNumberOptions(numbers.numberOptions() & ~QLocale::OmitGroupSeparator);
    QString number = numbers.toString(value, 'f', unit > 0 ? 1 : 0);
    const QString zeroFraction = QString(numbers.decimalPoint()) + numbers.zeroDigit();
    if (unit > 0 && number.endsWith(zeroFraction))
        number.chop(zeroFraction.size());
    return number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace L10n
