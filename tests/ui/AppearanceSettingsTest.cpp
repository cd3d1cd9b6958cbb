#include "AppearanceSettings.h"
#include "ConnectionEditor.h"
#include "ContentView.h"
#include "DockTileSession.h"
#include "DravikApp.h"
#include "Icons.h"
#include "L10n.h"
#include "MainWindow.h"
#include "SettingsWindow.h"
#include "Sidebar.h"
#include "WindowProbe.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QString companion = QStringLiteral(DRAVIK_BINARY_DIR "/bin/DravikDockTilePlugIn");
const QString sourceData = QStringLiteral(DRAVIK_SOURCE_DIR "/data");
const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString applicationName = QStringLiteral("app.dravik.application");
constexpr uint prefersDark = 1, prefersLight = 2;

using Icon = DockTileSession::Icon;
using Mode = AppearanceSettings::Mode;

// Compared as the window icon holds them: premultiplied, as on screen.
bool programShows(Icon icon)
{
    const auto shown = [](const QPixmap& pixmap) { return DockTileSession::pixels(pixmap.toImage()); };
    return shown(QApplication::windowIcon().pixmap(512)) == shown(QPixmap::fromImage(DockTileSession::reference(icon)));
}

bool isDark(const QWidget* window)
{
    return window->palette().color(QPalette::Window).lightness() < 128 &&
           window->palette().color(QPalette::WindowText).lightness() > 128;
}

// How far the opaque pixels of `image` stand from the window's background: the most different one,
// or on average.
int contrast(const QImage& image, const QWidget& window, bool average = false)
{
    const int background = qGray(window.palette().color(QPalette::Window).rgb());
    int most = 0, sum = 0, count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200) {
                const int difference = std::abs(qGray(image.pixel(x, y)) - background);
                most = std::max(most, difference);
                sum += difference;
                ++count;
            }
    return average ? sum / std::max(count, 1) : most;
}

// The ring of the first radio button that is not chosen, against its window.
int ringContrast(const QWidget& window)
{
    for (QRadioButton* button : window.findChildren<QRadioButton*>()) {
        if (button->isChecked())
            continue;
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect ring = button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button);
        return contrast(button->grab(ring).toImage(), window);
    }
    return 0;
}

// How many pixels of the highlight colour a tool button gains by taking the keyboard focus.
int focusRing()
{
    QWidget window;
    auto* button = new QToolButton(&window);
    button->setAutoRaise(true);
    button->setIcon(Icons::icon("arrow.up"));
    auto* other = new QToolButton(&window);
    other->move(40, 0);
    window.show();
    QApplication::setActiveWindow(&window);
    const auto highlighted = [button] {
        const QImage image = button->grab().toImage();
        const QColor highlight = button->palette().color(QPalette::Highlight);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += std::abs(pixel.red() - highlight.red()) + std::abs(pixel.green() - highlight.green()) +
                             std::abs(pixel.blue() - highlight.blue()) <
                         40;
            }
        return count;
    };
    other->setFocus();
    const int before = highlighted();
    window.setAttribute(Qt::WA_KeyboardFocusChange);
    button->setFocus(Qt::TabFocusReason);
    return highlighted() - before;
}

// Hears the program's signal on the session bus, as the companion does.
class SignalCounter : public QObject {
    Q_OBJECT

public:
    int taken() { return std::exchange(m_count, 0); }

public Q_SLOTS:
    void heard() { ++m_count; }

private:
    int m_count = 0;
};

// The desktop the program runs in: a private session bus with the portal stand-in answering
// `colorScheme`, and the icon companion reading the preference file this process writes.
struct Desktop {
    explicit Desktop(uint colorScheme, bool withCompanion = true)
    {
        session.portal().colorScheme = colorScheme;
        session.bus().registerService(portalName);
        session.bus().connect(QString(), "/app/dravik/application", applicationName, "appearanceChanged", &counter,
                              SLOT(heard()));
        if (withCompanion) {
            // The dark icon is the installed one, so the companion's first look writes nothing.
            session.startCompanion();
            EXPECT_TRUE(QTest::qWaitFor([this] { return session.portal().reads > 0; }));
        }
    }
    ~Desktop() { QDBusConnection::disconnectFromBus("program"); }

    DockTileSession session{companion, sourceData, qEnvironmentVariable("XDG_CONFIG_HOME")};
    QDBusConnection programBus = QDBusConnection::connectToBus(session.busAddress(), "program");
    SignalCounter counter;
};

} // namespace

// Unknown stored texts are "system"; without a portal the program goes back to the look the
// platform gave it.
TEST(AppearanceSettings, StartsWithTheStoredChoiceAndAsksOldAndNewPortalsForTheDesktops)
{
    const QColor platformWindow = QApplication::palette().color(QPalette::Window);
    Desktop desktop(prefersDark, false);
    const struct {
        const char* stored;
        bool portal, hasReadOne;
        Mode mode;
        bool dark;
    } cases[] = {{"system", true, true, Mode::system, true},
                 {"sepia", true, false, Mode::system, true},
                 {"dark", false, true, Mode::dark, true},
                 {"Dark", false, true, Mode::system, false}};
    for (const auto& c : cases) {
        preferences().setValue("interfaceAppearance", c.stored);
        desktop.session.portal().hasReadOne = c.hasReadOne;
        if (!c.portal)
            desktop.session.bus().unregisterService(portalName);
        AppearanceSettings appearance(desktop.programBus);
        EXPECT_EQ(appearance.selection(), c.mode) << c.stored;
        EXPECT_TRUE(QTest::qWaitFor([&] { return AppearanceSettings::isDark() == c.dark; })) << c.stored;
        QTest::qWait(100);
        EXPECT_EQ(AppearanceSettings::isDark(), c.dark) << c.stored;
        if (!c.dark) {
            EXPECT_EQ(QApplication::palette().color(QPalette::Window), platformWindow);
        }
    }
}

// The desktop prefers dark until its own switch at the end: "light" must win over it, "system" must
// follow it.
TEST(AppearanceSettings, AChoiceIsStoredShownInEveryWindowAndTheCompanionFollowsIt)
{
    preferences().remove("interfaceAppearance");
    Desktop desktop(prefersDark);
    DravikApp program(desktop.programBus);
    program.window().show();
    // The sidebar's appearance item opens the settings.
    control(*program.window().content()->sidebar(), L("appearance"))->click();
    ConnectionEditor editor(std::nullopt, {});
    editor.show();
    auto* settings = program.window().findChild<SettingsWindow*>();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return AppearanceSettings::isDark(); }));
    EXPECT_EQ(desktop.session.changes(0), 0) << "the installed icon is the dark one";
    EXPECT_EQ(desktop.counter.taken(), 1) << "the program's start";

    const struct {
        Mode mode;
        const char* stored;
        Icon icon;
    } choices[] = {{Mode::light, "light", Icon::light},
                   {Mode::dark, "dark", Icon::dark},
                   {Mode::light, "light", Icon::light},
                   {Mode::system, "system", Icon::dark}};
    for (const auto& choice : choices) {
        const QString label = L(QStringLiteral("theme_") + QString::fromLatin1(choice.stored));
        for (QRadioButton* button : settings->findChildren<QRadioButton*>())
            if (button->text() == label)
                button->click();
        EXPECT_EQ(program.appearance().selection(), choice.mode);
        QFile file(desktop.session.preferenceFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains(QByteArray("interfaceAppearance=").append(choice.stored))) << choice.stored;
        for (const QWidget* window : QList<const QWidget*>{&program.window(), settings, &editor})
            EXPECT_EQ(isDark(window), choice.icon == Icon::dark)
                << choice.stored << " " << window->metaObject()->className();
        EXPECT_TRUE(programShows(choice.icon)) << choice.stored;
        EXPECT_GT(ringContrast(*settings), 40) << choice.stored;
        // An enabled symbol reads as enabled: drawn in the text colour, faded only when disabled.
        const QIcon up = Icons::icon("arrow.up");
        const int enabled = contrast(up.pixmap(16).toImage(), *settings, true);
        EXPECT_GT(enabled, 100) << choice.stored;
        EXPECT_LT(contrast(up.pixmap(16, QIcon::Disabled).toImage(), *settings, true), enabled) << choice.stored;
        EXPECT_GT(focusRing(), 20) << choice.stored;
        EXPECT_EQ(desktop.session.changes(1), 1) << choice.stored;
        EXPECT_EQ(desktop.counter.taken(), 1) << choice.stored;
        EXPECT_TRUE(desktop.session.shows(choice.icon)) << choice.stored;
    }

    // "system" follows the desktop's switch at once.
    desktop.session.portal().colorScheme = prefersLight;
    desktop.session.settingChanged("color-scheme", prefersLight);
    EXPECT_TRUE(QTest::qWaitFor([] { return !AppearanceSettings::isDark(); }));
    EXPECT_FALSE(isDark(&program.window()));
    EXPECT_TRUE(programShows(Icon::light));
    EXPECT_EQ(desktop.session.changes(1), 1);
    EXPECT_TRUE(desktop.session.shows(Icon::light));
    EXPECT_EQ(desktop.counter.taken(), 0) << "the desktop's own switch needs no word from the program";
}

TEST(AppearanceSettings, TheDrawnLightIconIsTheCompanionsPixelForPixel)
{
    EXPECT_EQ(DockTileSession::pixels(AppearanceSettings::makeLightIcon()), DockTileSession::reference(Icon::light));
}

// The program itself: it owns its name on the session bus while it runs, and its end makes the
// companion look at the preference file again.
TEST(AppearanceSettings, TheProgramsEndRefreshesTheCompanion)
{
    DockTileSession session(companion, sourceData);
    session.setPreference("light");
    session.startCompanion();
    ASSERT_EQ(session.changes(1), 1);

    QProcess program;
    QProcessEnvironment environment = session.environment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(DRAVIK_BINARY_DIR "/bin/dravik", {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.bus().interface()->isServiceRegistered(applicationName).value(); },
                                30000));
    EXPECT_EQ(session.changes(0), 0) << "the program's start finds the icon as shown";

    // Behind the program's back, so that only a refresh can show it.
    session.setPreference("dark");
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(session.changes(1), 1);
    EXPECT_TRUE(session.shows(Icon::dark));
}

#include "AppearanceSettingsTest.moc"
