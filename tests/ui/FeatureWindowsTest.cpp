#include "AppModel.h"
#include "ContentView.h"
#include "DravikApp.h"
#include "L10n.h"
#include "MainWindow.h"
#include "QtPrinters.h"
#include "RemoteEditStore.h"
#include "RemoteEditsView.h"
#include "TemporaryFolder.h"
#include "WindowProbe.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

TEST(FeatureWindows, AnEditIsUploadedOnlyOnceChangedAndForgettingItKeepsTheCopy)
{
    const TemporaryFolder copies;
    const QString copy = copies.write("notes.txt", "as downloaded\n");
    const QString hash = RemoteEdit::editHash(copy);
    ServerProfile profile;
    profile.name = "Office";
    profile.host = "ftp.example.org";
    RemoteEditStore::save({{QUuid::createUuid(), profile, "/notes.txt", QUrl::fromLocalFile(copy), hash, hash, false}});

    DravikApp program;
    program.window().show();
    control(*program.window().content(), L("remote_edits"))->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return openWindow<RemoteEditsView>() != nullptr; }));
    RemoteEditsView& edits = *openWindow<RemoteEditsView>();
    QAbstractButton* upload = control(edits, L("upload_edit"));
    EXPECT_FALSE(upload->isEnabled());
    QLabel* badge = control<QLabel>(edits, L("modified"));
    EXPECT_FALSE(badge->isVisible());

    QFile changed(copy);
    ASSERT_TRUE(changed.open(QIODevice::Append) && changed.write("edited\n") > 0);
    changed.close();
    program.model().scanEdits();
    EXPECT_TRUE(QTest::qWaitFor([&] { return upload->isEnabled(); }));
    EXPECT_TRUE(badge->isVisible());

    control(edits, L("delete"))->click();
    const QList<QPushButton*> left = edits.findChildren<QPushButton*>();
    EXPECT_TRUE(std::none_of(left.cbegin(), left.cend(),
                             [](const QPushButton* button) { return button->text() == L("upload_edit"); }));
    EXPECT_TRUE(QFile::exists(copy));
    QTest::keyClick(&edits, Qt::Key_Escape);
    EXPECT_FALSE(program.model().showEdits());
}
