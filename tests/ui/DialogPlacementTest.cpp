#include "DialogPlacement.h"

#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

TEST(DialogPlacement, CentresOnTheWorkspaceInsideTheVisibleArea)
{
    const QRect screen(0, 30, 1920, 1050);
    const struct {
        const char* name;
        QRect workspace;
        QSize dialog;
        QPoint expected;
    } cases[] = {
        {"centred", {460, 240, 1000, 600}, {400, 300}, {760, 390}},
        {"workspace near the right edge: pushed left", {1500, 100, 1000, 600}, {600, 400}, {1320, 200}},
        {"workspace above the top-left: pushed inside", {-300, -200, 800, 600}, {400, 300}, {0, 30}},
        {"larger than the area: its top-left corner", {460, 240, 1000, 600}, {2000, 1200}, {0, 30}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialogPlacement::origin(c.workspace, screen, c.dialog), c.expected) << c.name;
    // A second screen to the right: the bounds' own origin counts.
    EXPECT_EQ(DialogPlacement::origin({2000, 100, 1000, 700}, {1920, 0, 1280, 1024}, {500, 400}), QPoint(2250, 250));
}

TEST(DialogPlacement, MovesDialogsOfTheWorkspaceAndNothingElse)
{
    QWidget workspace;
    workspace.setGeometry(100, 80, 500, 400);
    workspace.show();
    DialogPlacement& placement = DialogPlacement::shared();
    placement.setWorkspace(&workspace);
    const QPoint workspaceAt = workspace.pos();
    // Centres agree to a pixel: halving an odd size rounds.
    const auto centred = [&workspace](const QWidget& window) {
        return (window.frameGeometry().center() - workspace.frameGeometry().center()).manhattanLength() <= 2;
    };

    QDialog registered;
    registered.resize(200, 100);
    placement.registerDialog(&registered);
    registered.show();
    EXPECT_TRUE(centred(registered));

    // Never registered, but its parent's window is the workspace's child: an alert over a sheet.
    QDialog sheet(&workspace);
    sheet.resize(300, 200);
    sheet.show();
    QMessageBox alert(QMessageBox::Warning, "t", "alert", QMessageBox::Ok, &sheet);
    alert.show();
    alert.move(0, 0);
    QApplication::setActiveWindow(&alert);
    QTest::qWait(0);
    EXPECT_TRUE(centred(alert));

    QDialog unrelated;
    unrelated.setGeometry(10, 20, 100, 100);
    unrelated.show();
    const QPoint unrelatedAt = unrelated.pos();
    QApplication::setActiveWindow(&unrelated);
    QTest::qWait(0);
    EXPECT_EQ(unrelated.pos(), unrelatedAt);

    placement.registerDialog(&workspace);
    EXPECT_EQ(workspace.pos(), workspaceAt);
}
