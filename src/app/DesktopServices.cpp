#include "DesktopServices.h"

#include "FTPError.h"
#include "L10n.h"
#include "LocalFileSystem.h"

#include <QCollator>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QPromise>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <memory>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

using namespace Qt::StringLiterals;

namespace DesktopServices {

namespace {

[[noreturn]] void fail(GError* error)
{
    throw FTPError::message(QString::fromUtf8(error->message));
}

// The content type GIO sees for the file, from its name and, when that is not enough, its bytes.
QByteArray contentType(const QString& path)
{
    g_autoptr(GFile) file = g_file_new_for_path(QFile::encodeName(path).constData());
    g_autoptr(GFileInfo) info =
        g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    if (info && g_file_info_get_content_type(info))
        return g_file_info_get_content_type(info);
    g_autofree gchar* guessed = g_content_type_guess(QFile::encodeName(path).constData(), nullptr, 0, nullptr);
    return guessed;
}

bool opensFiles(GAppInfo* info)
{
    return g_app_info_supports_files(info) || g_app_info_supports_uris(info);
}

DesktopApplication describe(GAppInfo* info, bool handlesType)
{
    DesktopApplication application{QString::fromUtf8(g_app_info_get_id(info)),
                                   QString::fromUtf8(g_app_info_get_display_name(info)), QString(), handlesType};
    GIcon* icon = g_app_info_get_icon(info);
    if (icon && G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        if (names && names[0])
            application.iconName = QString::fromUtf8(names[0]);
    }
    return application;
}

} // namespace

QList<DesktopApplication> applicationsFor(const QString& file)
{
    QList<DesktopApplication> handlers;
    QSet<QString> listed;
    // Applications without an id were not installed from a desktop entry and cannot be launched by one.
    const auto add = [&](QList<DesktopApplication>& into, GAppInfo* info, bool handlesType) {
        if (!g_app_info_get_id(info) || !opensFiles(info))
            return;
        const DesktopApplication application = describe(info, handlesType);
        if (!listed.contains(application.id)) {
            listed.insert(application.id);
            into.append(application);
        }
    };
    const QByteArray type = contentType(file);
    // GIO lists the associations it finds first, not the desktop's default for the type.
    if (g_autoptr(GAppInfo) preferred = g_app_info_get_default_for_type(type.constData(), false))
        add(handlers, preferred, true);
    g_autolist(GAppInfo) forType = g_app_info_get_all_for_type(type.constData());
    for (GList* item = forType; item; item = item->next)
        add(handlers, G_APP_INFO(item->data), true);

    QList<DesktopApplication> others;
    g_autolist(GAppInfo) all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next)
        if (g_app_info_should_show(G_APP_INFO(item->data)))
            add(others, G_APP_INFO(item->data), false);
    QCollator collator(L10n::locale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(others.begin(), others.end(), [&](const DesktopApplication& a, const DesktopApplication& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return handlers + others;
}

void launch(const QString& applicationID, const QString& file)
{
    g_autoptr(GDesktopAppInfo) info = g_desktop_app_info_new(applicationID.toUtf8().constData());
    if (!info)
        throw FTPError::message(L("application_unavailable"));
    g_autoptr(GFile) target = g_file_new_for_path(QFile::encodeName(file).constData());
    GList files{target, nullptr, nullptr};
    g_autoptr(GError) error = nullptr;
    if (!g_app_info_launch(G_APP_INFO(info), &files, nullptr, &error))
        fail(error);
}

void openWithDefault(const QString& path)
{
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    g_autoptr(GError) error = nullptr;
    if (!g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error))
        fail(error);
}

QFuture<void> showInFileManager(const QString& path)
{
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    const auto fallBack = [promise, path] {
        try {
            openWithDefault(LocalFileSystem::parent(path));
        } catch (const FTPError&) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallBack();
        return promise->future();
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
                                       u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [promise, fallBack](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         if (done->isError())
                             fallBack();
                         else
                             promise->finish();
                     });
    return promise->future();
}

} // namespace DesktopServices
