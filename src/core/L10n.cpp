#include "L10n.h"

#include "AppLanguage.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <unicode/locid.h>
#include <unicode/plurrule.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

namespace L10n {
namespace {

// A text by plural category; a text that counts nothing has only the "other" form.
using Forms = QHash<QString, QString>;
using Table = QHash<QString, Forms>;
using Catalogue = QHash<QString, Table>;

const QString otherForm = u"other"_s;

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

// A text, or an object of the texts of a key that counts, one per plural category.
std::optional<Forms> decodeForms(const QJsonValue& value)
{
    if (value.isString())
        return Forms{{otherForm, value.toString()}};
    if (!value.isObject() || value.toObject().isEmpty())
        return std::nullopt;
    Forms forms;
    const QJsonObject object = value.toObject();
    for (auto form = object.begin(); form != object.end(); ++form) {
        if (!form->isString())
            return std::nullopt;
        forms.insert(form.key(), form->toString());
    }
    return forms;
}

// A document that is not an object of objects of texts yields no catalogue at all.
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
            const std::optional<Forms> forms = decodeForms(*entry);
            if (!forms)
                return {};
            table.insert(entry.key(), *forms);
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

// The key's forms in `language`, or in English when that has none; with the language they are in.
std::optional<std::pair<QString, Forms>> lookup(const QString& language, const QString& key)
{
    const Catalogue& texts = catalogue();
    for (const QString& candidate : {language, u"en"_s}) {
        const auto table = texts.constFind(candidate);
        if (table == texts.cend())
            continue;
        if (const auto found = table->constFind(key); found != table->cend())
            return std::pair(candidate, *found);
    }
    return std::nullopt;
}

// ICU's rules, made once per language: they are immutable and may be shared between threads.
const icu::PluralRules* pluralRules(const QString& language)
{
    static const auto rules = [] {
        std::map<QString, std::unique_ptr<icu::PluralRules>> made;
        for (const AppLanguage& supported : AppLanguage::supported()) {
            UErrorCode status = U_ZERO_ERROR;
            std::unique_ptr<icu::PluralRules> one(
                icu::PluralRules::forLocale(icu::Locale(supported.id.toLatin1().constData()), status));
            if (U_SUCCESS(status))
                made.emplace(supported.id, std::move(one));
        }
        return made;
    }();
    const auto found = rules.find(language);
    return found == rules.end() ? nullptr : found->second.get();
}

QString fromICU(const icu::UnicodeString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

QString pluralCategory(const QString& language, qint64 count)
{
    const icu::PluralRules* rules = pluralRules(language);
    return rules ? fromICU(rules->select(static_cast<double>(count))) : otherForm;
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
    const auto found = lookup(code(), key);
    if (!found)
        return args.isEmpty() ? key : format(key, args);
    const auto& [language, forms] = *found;
    QString text = forms.value(otherForm);
    // A key that counts takes the form of its count, the first argument, in whatever digits the
    // caller wrote it.
    if (forms.size() > 1 && !args.isEmpty()) {
        bool counted = false;
        qint64 count = locale().toLongLong(args.first(), &counted);
        if (!counted)
            count = QLocale::c().toLongLong(args.first(), &counted);
        if (counted)
            text = forms.value(pluralCategory(language, count), text);
    }
    return args.isEmpty() ? text : format(text, args);
}

QString plural(const QString& key, qint64 count, const QStringList& args)
{
    return text(key, QStringList{locale().toString(count)} + args);
}

QStringList pluralCategories(const QString& code)
{
    QStringList categories;
    const icu::PluralRules* rules = pluralRules(code);
    if (!rules)
        return categories;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::StringEnumeration> keywords(rules->getKeywords(status));
    while (const icu::UnicodeString* keyword = U_SUCCESS(status) ? keywords->snext(status) : nullptr)
        categories << fromICU(*keyword);
    categories.sort();
    return categories;
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
