#include "pages/tabchangepassword.h"
#include "pages/tabdeviceauthentication.h"

#include "pagetesthelpers.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kTitle = QStringLiteral("Lumetra - Wi-Fi Setup Tool");

// Ends a dialog the way a user can: a named button, Escape, or the window's close button.
void endDialog(QDialog *dialog, const QString &how)
{
    if (how == QLatin1String("escape")) {
        QTest::keyClick(dialog, Qt::Key_Escape);
    } else if (how == QLatin1String("close")) {
        QMetaObject::invokeMethod(dialog, &QWidget::close, Qt::QueuedConnection);
    } else {
        QAbstractButton *button = buttonWithText(dialog, how);
        if (button)
            clickLater(button);
        else
            dialog->done(-1); // the test names a button that does not exist
    }
}

bool onlyCloseHint(Qt::WindowFlags flags)
{
    const Qt::WindowFlags others = Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                   Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint |
                                   Qt::FramelessWindowHint;
    return (flags & Qt::WindowType_Mask) == Qt::Dialog && (flags & Qt::WindowCloseButtonHint) &&
           !(flags & others);
}

QStringList formRowTexts(QFormLayout *form)
{
    QStringList rows;
    for (int r = 0; r < form->rowCount(); ++r) {
        QString row;
        for (auto role : {QFormLayout::LabelRole, QFormLayout::SpanningRole}) {
            if (QLayoutItem *item = form->itemAt(r, role)) {
                if (auto *label = qobject_cast<QLabel *>(item->widget()))
                    row += label->text();
                else if (qobject_cast<QDialogButtonBox *>(item->widget()))
                    row += QStringLiteral("[buttons]");
            }
        }
        rows << row;
    }
    return rows;
}

} // namespace

class TestPasswordDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void passwordDialogLooksAsBuilt();
    void passwordDialogAnswers_data();
    void passwordDialogAnswers();
    void linkInPromptOpensBrowserAndDialogStays();

    void changeDialogRows_data();
    void changeDialogRows();
    void changeDialogValidation_data();
    void changeDialogValidation();
};

void TestPasswordDialogs::cleanup()
{
    // Every dialog lives on the test's stack; none may be left open behind it.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestPasswordDialogs::passwordDialogLooksAsBuilt()
{
    const QString prompt = QStringLiteral("Incorrect password.  Please try again.");
    TabDeviceauthentication dialog(prompt, nullptr);
    QCOMPARE(dialog.windowTitle(), kTitle);
    QVERIFY(onlyCloseHint(dialog.windowFlags()));

    auto *label = dialog.findChild<QLabel *>(QStringLiteral("messageLabel"));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("passwordEdit"));
    auto *check = dialog.findChild<QCheckBox *>(QStringLiteral("changePasswordCheck"));
    auto *box = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(label && edit && check && box);
    QCOMPARE(label->text(), prompt);
    QCOMPARE(label->textFormat(), Qt::AutoText);
    QVERIFY(edit->text().isEmpty());
    QCOMPARE(edit->echoMode(), QLineEdit::Password);
    QCOMPARE(check->text(), QStringLiteral("Change password"));
    QVERIFY(!check->isChecked());
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box->orientation(), Qt::Horizontal);

    // Top to bottom: prompt, field, box, buttons.
    auto *layout = dialog.layout();
    QCOMPARE(layout->count(), 4);
    QCOMPARE(layout->itemAt(0)->widget(), label);
    QCOMPARE(layout->itemAt(1)->widget(), edit);
    QCOMPARE(layout->itemAt(2)->widget(), check);
    QCOMPARE(layout->itemAt(3)->widget(), box);
}

void TestPasswordDialogs::passwordDialogAnswers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("change");

    const int ok = QDialog::Accepted;
    const int no = QDialog::Rejected;
    QTest::newRow("ok with empty field") << "" << false << "OK" << ok << "" << false;
    QTest::newRow("ok keeps blanks") << " pa ss " << false << "OK" << ok << " pa ss " << false;
    QTest::newRow("ok with change ticked") << "secret" << true << "OK" << ok << "secret" << true;
    QTest::newRow("cancel after ticking") << "secret" << true << "Cancel" << no << "" << false;
    QTest::newRow("escape") << "secret" << false << "escape" << no << "" << false;
    QTest::newRow("close button") << "secret" << true << "close" << no << "" << false;
}

void TestPasswordDialogs::passwordDialogAnswers()
{
    QFETCH(QString, typed);
    QFETCH(bool, tick);
    QFETCH(QString, ending);
    QFETCH(int, result);
    QFETCH(QString, password);
    QFETCH(bool, change);

    TabDeviceauthentication dialog(QStringLiteral("Enter the Lumetra - Wi-Fi setup password"),
                                   nullptr);
    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    QString shownText;
    modal.expect([&](QWidget *w) {
        auto *edit = w->findChild<QLineEdit *>(QStringLiteral("passwordEdit"));
        QTest::keyClicks(edit, typed);
        shownText = edit->displayText();
        if (tick)
            w->findChild<QCheckBox *>()->click();
        endDialog(&dialog, ending);
    });
    QCOMPARE(dialog.exec(), result);
    QVERIFY(!watchdog.fired());
    QCOMPARE(modal.handled(), 1);
    QCOMPARE(dialog.password(), password);
    QCOMPARE(dialog.changePassword(), change);
    // The typed characters are masked on screen.
    QCOMPARE(shownText.size(), typed.size());
    QVERIFY(typed.isEmpty() || shownText != typed);
}

void TestPasswordDialogs::linkInPromptOpensBrowserAndDialogStays()
{
    const QString url = QStringLiteral("https://help.lumetra.example/password");
    LinkRecorder links;
    TabDeviceauthentication dialog(QStringLiteral("<a href=\"%1\">%1</a>").arg(url), nullptr);
    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    bool openAfterClick = false;
    modal.expect([&](QWidget *w) {
        auto *label = w->findChild<QLabel *>(QStringLiteral("messageLabel"));
        const QPoint onLink(label->contentsRect().left() + 10, label->contentsRect().center().y());
        QTest::mouseClick(label, Qt::LeftButton, {}, onLink);
        QTimer::singleShot(0, &dialog, [&] {
            openAfterClick = dialog.isVisible();
            dialog.reject();
        });
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!watchdog.fired());
    QCOMPARE(links.urls, QList<QUrl>{QUrl(url)});
    QVERIFY(openAfterClick);
}

void TestPasswordDialogs::changeDialogRows_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("rows");

    const QString create = QStringLiteral("Create a password for Wi-Fi configuration settings.");
    const QString important =
        QStringLiteral("<html><body><b>IMPORTANT: Record password for any future Wi-Fi "
                       "configuration changes.</b></body></html>");
    QTest::newRow("camera without password")
        << QString()
        << QStringList{create, QStringLiteral("New Password :"),
                       QStringLiteral("Confirm New Password :"), important,
                       QStringLiteral("[buttons]")};
    QTest::newRow("password just entered") << QStringLiteral("old secret")
                                           << QStringList{create,
                                                          QStringLiteral("Old Password :"),
                                                          QStringLiteral("New Password :"),
                                                          QStringLiteral("Confirm New Password :"),
                                                          important,
                                                          QStringLiteral("[buttons]")};
}

void TestPasswordDialogs::changeDialogRows()
{
    QFETCH(QString, current);
    QFETCH(QStringList, rows);

    TabChangePassword dialog(nullptr, current);
    QCOMPARE(dialog.windowTitle(), kTitle);
    QVERIFY(onlyCloseHint(dialog.windowFlags()));
    auto *form = qobject_cast<QFormLayout *>(dialog.layout());
    QVERIFY(form);
    QCOMPARE(formRowTexts(form), rows);

    auto *old = dialog.findChild<QLineEdit *>(QStringLiteral("oldPasswordEdit"));
    QCOMPARE(old != nullptr, !current.isEmpty());
    if (old) {
        QCOMPARE(old->text(), current);
        QCOMPARE(old->echoMode(), QLineEdit::Password);
        QVERIFY(!old->isEnabled());
    }
    for (const char *name : {"newPasswordEdit", "confirmPasswordEdit"}) {
        auto *edit = dialog.findChild<QLineEdit *>(QLatin1String(name));
        QVERIFY(edit);
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }

    auto *box = dialog.findChild<QDialogButtonBox *>();
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok);
    QAbstractButton *skip = buttonWithText(box, QStringLiteral("Skip"));
    QVERIFY(skip);
    QCOMPARE(box->buttonRole(skip), QDialogButtonBox::RejectRole);
    QCOMPARE(box->buttons().size(), 2);
}

void TestPasswordDialogs::changeDialogValidation_data()
{
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message"); // empty: accepted at once
    QTest::addColumn<QString>("ending");  // after a refusal, or instead of OK

    const QString tooShort = QStringLiteral("Pasword must be at least 4 letters ");
    const QString mismatch =
        QStringLiteral("New Password and Confirmation Password do not match. ");
    QTest::newRow("three characters although matching") << "abc"
                                                        << "abc" << tooShort << "Skip";
    QTest::newRow("both empty gives the length message") << ""
                                                         << "" << tooShort << "Skip";
    QTest::newRow("short but confirmation differs") << "ab"
                                                    << "xyz" << tooShort << "close";
    QTest::newRow("differs only in case") << "abcd"
                                          << "ABCD" << mismatch << "Skip";
    QTest::newRow("leading blank is not trimmed") << " abcd"
                                                  << "abcd" << mismatch << "escape";
    QTest::newRow("confirmation shorter") << "abcdef"
                                          << "abc" << mismatch << "Skip";
    QTest::newRow("exactly four matching") << "abcd"
                                           << "abcd"
                                           << ""
                                           << "";
    QTest::newRow("blanks count towards the length") << "    "
                                                     << "    "
                                                     << ""
                                                     << "";
    QTest::newRow("skip with text reports nothing") << "abcdef"
                                                    << "abcdef"
                                                    << ""
                                                    << "Skip";
}

void TestPasswordDialogs::changeDialogValidation()
{
    QFETCH(QString, newPassword);
    QFETCH(QString, confirmation);
    QFETCH(QString, message);
    QFETCH(QString, ending);

    QWidget page; // stands in for the communication page that owns the dialog
    TabChangePassword dialog(&page, QStringLiteral("current"));
    auto *newEdit = dialog.findChild<QLineEdit *>(QStringLiteral("newPasswordEdit"));
    auto *confirmEdit = dialog.findChild<QLineEdit *>(QStringLiteral("confirmPasswordEdit"));
    QAbstractButton *okButton =
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);

    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    QList<BoxSeen> boxes;
    QStringList fieldsAfter;
    QWidget *focusAfter = nullptr;
    const bool skipOnly = message.isEmpty() && !ending.isEmpty();

    modal.expect([&](QWidget *) {
        QTest::keyClicks(newEdit, newPassword);
        QTest::keyClicks(confirmEdit, confirmation);
        confirmEdit->setFocus(Qt::OtherFocusReason);
        if (skipOnly)
            endDialog(&dialog, ending);
        else
            clickLater(okButton);
    });
    if (!message.isEmpty()) {
        modal.expect(answerBox(&boxes));
        modal.expect([&](QWidget *) {
            fieldsAfter = {newEdit->text(), confirmEdit->text()};
            focusAfter = dialog.focusWidget();
            endDialog(&dialog, ending);
        });
    }

    const int result = dialog.exec();
    QVERIFY(!watchdog.fired());
    if (message.isEmpty() && !skipOnly) {
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.newPassword(), newPassword);
        QVERIFY(boxes.isEmpty());
        return;
    }
    QCOMPARE(result, int(QDialog::Rejected));
    if (skipOnly) {
        QVERIFY(dialog.newPassword().isNull());
        return;
    }
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].isMessageBox);
    QCOMPARE(boxes[0].title, QStringLiteral("Error !"));
    QCOMPARE(boxes[0].text, message);
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].buttons, QMessageBox::Ok);
    QCOMPARE(boxes[0].parent, &page);
    // The dialog stayed open with its entries and put the cursor back into the new password.
    QCOMPARE(fieldsAfter, (QStringList{newPassword, confirmation}));
    QCOMPARE(focusAfter, newEdit);
}

QTEST_MAIN(TestPasswordDialogs)
#include "tst_passworddialogs.moc"
