#include "pages/tabchangepassword.h"
#include "pages/tabdeviceauthentication.h"

#include "pagetesthelpers.h"

class TestPasswordDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowOpen(); }

    void linkInPromptOpensBrowserAndDialogStays();
    void changeDialogOldPasswordAndSkip();
    void changeDialogValidation_data();
    void changeDialogValidation();
};

void TestPasswordDialogs::linkInPromptOpensBrowserAndDialogStays()
{
    const QString url = QStringLiteral("https://help.lumetra.example/password");
    LinkRecorder links;
    TabDeviceauthentication dialog(QStringLiteral("<a href=\"%1\">%1</a>").arg(url), nullptr);
    bool openAfterClick = false;
    int result = -1;
    const QStringList boxes =
        runModal([&] { result = dialog.exec(); },
                 [&](QWidget *w) {
                     auto *label = w->findChild<QLabel *>(QStringLiteral("messageLabel"));
                     const QPoint onLink(label->contentsRect().left() + 10,
                                         label->contentsRect().center().y());
                     QTest::mouseClick(label, Qt::LeftButton, {}, onLink);
                     QTimer::singleShot(0, &dialog, [&] {
                         openAfterClick = dialog.isVisible();
                         dialog.reject();
                     });
                 });
    QCOMPARE(boxes, QStringList());
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(links.urls, QList<QUrl>{QUrl(url)});
    QVERIFY(openAfterClick);
}

void TestPasswordDialogs::changeDialogOldPasswordAndSkip()
{
    TabChangePassword dialog(nullptr, QStringLiteral("old secret"));
    auto *old = dialog.findChild<QLineEdit *>(QStringLiteral("oldPasswordEdit"));
    QCOMPARE(old->text(), QStringLiteral("old secret"));
    QVERIFY(!old->isEnabled());
    auto *box = dialog.findChild<QDialogButtonBox *>();
    QCOMPARE(box->buttonRole(buttonWithText(box, QStringLiteral("Skip"))),
             QDialogButtonBox::RejectRole);
}

void TestPasswordDialogs::changeDialogValidation_data()
{
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message"); // empty: accepted

    const QString tooShort = QStringLiteral("Pasword must be at least 4 letters ");
    const QString mismatch =
        QStringLiteral("New Password and Confirmation Password do not match. ");
    QTest::newRow("three characters although matching") << "abc"
                                                        << "abc" << tooShort;
    QTest::newRow("both empty gives the length message") << ""
                                                         << "" << tooShort;
    QTest::newRow("short and confirmation differs: length first") << "ab"
                                                                  << "xyz" << tooShort;
    QTest::newRow("differs only in case") << "abcd"
                                          << "ABCD" << mismatch;
    QTest::newRow("leading blank is not trimmed") << " abcd"
                                                  << "abcd" << mismatch;
    QTest::newRow("exactly four matching") << "abcd"
                                           << "abcd"
                                           << "";
    QTest::newRow("blanks count towards the length") << "    "
                                                     << "    "
                                                     << "";
}

void TestPasswordDialogs::changeDialogValidation()
{
    QFETCH(QString, newPassword);
    QFETCH(QString, confirmation);
    QFETCH(QString, message);

    QWidget page; // stands in for the communication page that owns the dialog
    TabChangePassword dialog(&page, QStringLiteral("current"));
    auto *newEdit = dialog.findChild<QLineEdit *>(QStringLiteral("newPasswordEdit"));
    auto *confirmEdit = dialog.findChild<QLineEdit *>(QStringLiteral("confirmPasswordEdit"));

    int result = -1;
    QStringList fieldsAfter;
    QWidget *focusAfter = nullptr;
    const QStringList boxes = runModal([&] { result = dialog.exec(); },
                                       [&](QWidget *) {
                                           QTest::keyClicks(newEdit, newPassword);
                                           QTest::keyClicks(confirmEdit, confirmation);
                                           confirmEdit->setFocus(Qt::OtherFocusReason);
                                           endDialog(&dialog, QStringLiteral("OK"));
                                       },
                                       [&](QWidget *) {
                                           fieldsAfter = {newEdit->text(), confirmEdit->text()};
                                           focusAfter = dialog.focusWidget();
                                           endDialog(&dialog, QStringLiteral("Skip"));
                                       });

    if (message.isEmpty()) {
        QCOMPARE(boxes, QStringList());
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.newPassword(), newPassword);
        return;
    }
    QCOMPARE(result, int(QDialog::Rejected));
    // Over the page that owns the dialog.
    QCOMPARE(boxes, QStringList{"Error !|" + message + "|critical|Ok|QWidget"});
    // The dialog stayed open with its entries and put the cursor back into the new password.
    QCOMPARE(fieldsAfter, (QStringList{newPassword, confirmation}));
    QCOMPARE(focusAfter, newEdit);
}

QTEST_MAIN(TestPasswordDialogs)
#include "tst_passworddialogs.moc"
